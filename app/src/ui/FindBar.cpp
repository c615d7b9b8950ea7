// SPDX-License-Identifier: MIT
#include "FindBar.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditMatchCounter.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace app {

using lexedit::TCustomLexEdit;
using lexedit::TLexSearchOptions;

namespace {

QToolButton *MakeButton(QWidget *AParent, const char *AName, const QString &AText, const QString &ATip) {
    auto *Button = new QToolButton(AParent);
    Button->setObjectName(QString::fromLatin1(AName));
    Button->setText(AText);
    Button->setToolTip(ATip);
    Button->setAutoRaise(true);
    Button->setFocusPolicy(Qt::TabFocus);
    return Button;
}

// An option of the search, on or off.
QToolButton *MakeToggle(QWidget *AParent, const char *AName, const QString &AText, const QString &ATip) {
    QToolButton *Button = MakeButton(AParent, AName, AText, ATip);
    Button->setCheckable(true);
    return Button;
}

QLineEdit *MakeField(QWidget *AParent, const char *AName, const QString &APlaceholder) {
    auto *Edit = new QLineEdit(AParent);
    Edit->setObjectName(QString::fromLatin1(AName));
    Edit->setPlaceholderText(APlaceholder);
    Edit->setClearButtonEnabled(true);
    // Esc in the field closes the bar, also while the window's Esc (Stop) is enabled.
    Edit->setProperty("escapeClosesBar", true);
    return Edit;
}

} // namespace

TFindBar::TFindBar(TCustomLexEdit *AEditor, bool AAllowReplace, QWidget *AParent)
    : QFrame(AParent), FEditor(AEditor), FAllowReplace(AAllowReplace),
      FCounter(std::make_unique<lexedit::TLexMatchCounter>(AEditor)) {
    CreateWidgets();
    FCountTimer = new QTimer(this);
    FCountTimer->setSingleShot(true);
    FCountTimer->setInterval(100);
    connect(FCountTimer, &QTimer::timeout, this, [this] { UpdateCount(); });
    FCounter->OnChange = [this] { ScheduleCount(); };
    hide();
}

TFindBar::~TFindBar() = default;

void TFindBar::CreateWidgets() {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    auto *Rows = new QVBoxLayout(this);
    Rows->setContentsMargins(4, 2, 4, 2);
    Rows->setSpacing(2);

    auto *FindRow = new QHBoxLayout;
    FindRow->setSpacing(4);
    auto *FindLabel = new QLabel(QStringLiteral("Find:"), this);
    FindEdit = MakeField(this, "FindEdit", QStringLiteral("Search (Enter: next, Shift+Enter: previous)"));
    FindLabel->setBuddy(FindEdit);
    MatchCaseButton = MakeToggle(this, "MatchCaseButton", QStringLiteral("Match case"),
                                 QStringLiteral("Upper and lower case must match"));
    WholeWordButton =
        MakeToggle(this, "WholeWordButton", QStringLiteral("Whole word"), QStringLiteral("Only whole words"));
    RegexButton = MakeToggle(this, "RegexButton", QStringLiteral("Regular expression"),
                             QStringLiteral("The search text is a regular expression (PCRE); the replacement "
                                            "knows \\1 .. \\9, $1, \\U \\L \\u \\l \\E"));
    PreviousButton = MakeButton(this, "PreviousButton", QStringLiteral("\u25B2"),
                                QStringLiteral("Previous match (Shift+Enter, Shift+F3)"));
    NextButton =
        MakeButton(this, "NextButton", QStringLiteral("\u25BC"), QStringLiteral("Next match (Enter, F3)"));
    CountLabel = new QLabel(this);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    CountLabel->setMinimumWidth(90);
    NoticeLabel = new QLabel(this);
    NoticeLabel->setObjectName(QStringLiteral("NoticeLabel"));
    CloseButton = MakeButton(this, "CloseButton", QStringLiteral("\u2715"), QStringLiteral("Close (Esc)"));
    FindRow->addWidget(FindLabel);
    FindRow->addWidget(FindEdit, 1);
    for (QWidget *W : {static_cast<QWidget *>(MatchCaseButton), static_cast<QWidget *>(WholeWordButton),
                       static_cast<QWidget *>(RegexButton), static_cast<QWidget *>(PreviousButton),
                       static_cast<QWidget *>(NextButton), static_cast<QWidget *>(CountLabel)})
        FindRow->addWidget(W);
    FindRow->addWidget(NoticeLabel, 1);
    FindRow->addWidget(CloseButton);
    Rows->addLayout(FindRow);

    ReplaceRow = new QWidget(this);
    ReplaceRow->setObjectName(QStringLiteral("ReplaceRow"));
    auto *ReplaceLayout = new QHBoxLayout(ReplaceRow);
    ReplaceLayout->setContentsMargins(0, 0, 0, 0);
    ReplaceLayout->setSpacing(4);
    auto *ReplaceLabel = new QLabel(QStringLiteral("Replace:"), ReplaceRow);
    ReplaceEdit = MakeField(ReplaceRow, "ReplaceEdit", QStringLiteral("Replacement (Enter: replace)"));
    ReplaceLabel->setBuddy(ReplaceEdit);
    ReplaceButton = MakeButton(ReplaceRow, "ReplaceButton", QStringLiteral("Replace"),
                               QStringLiteral("Replace the selected match and find the next"));
    ReplaceAllButton = MakeButton(ReplaceRow, "ReplaceAllButton", QStringLiteral("Replace all"),
                                  QStringLiteral("Replace every match (one undo step)"));
    ReplaceLayout->addWidget(ReplaceLabel);
    ReplaceLayout->addWidget(ReplaceEdit, 1);
    ReplaceLayout->addWidget(ReplaceButton);
    ReplaceLayout->addWidget(ReplaceAllButton);
    ReplaceLayout->addStretch(1);
    // The labels of both rows line up.
    ReplaceLabel->setMinimumWidth(std::max(FindLabel->sizeHint().width(), ReplaceLabel->sizeHint().width()));
    FindLabel->setMinimumWidth(ReplaceLabel->minimumWidth());
    Rows->addWidget(ReplaceRow);
    ReplaceRow->hide();

    FindEdit->installEventFilter(this);
    ReplaceEdit->installEventFilter(this);
    const auto Guarded = [this](auto AFunction) {
        return [this, AFunction] { common::Guarded([&] { AFunction(this); }); };
    };
    connect(FindEdit, &QLineEdit::textChanged, this, Guarded([](TFindBar *B) { B->PatternChanged(); }));
    for (QToolButton *Toggle : {MatchCaseButton, WholeWordButton, RegexButton})
        connect(Toggle, &QToolButton::toggled, this, Guarded([](TFindBar *B) { B->PatternChanged(); }));
    connect(NextButton, &QToolButton::clicked, this, Guarded([](TFindBar *B) { B->FindNext(); }));
    connect(PreviousButton, &QToolButton::clicked, this, Guarded([](TFindBar *B) { B->FindPrevious(); }));
    connect(CloseButton, &QToolButton::clicked, this, Guarded([](TFindBar *B) { B->Close(); }));
    connect(ReplaceButton, &QToolButton::clicked, this, Guarded([](TFindBar *B) { B->ReplaceOne(); }));
    connect(ReplaceAllButton, &QToolButton::clicked, this, Guarded([](TFindBar *B) { B->ReplaceAll(); }));
}

bool TFindBar::ReplaceShown() const {
    return isVisible() && ReplaceRow->isVisibleTo(this);
}

void TFindBar::Open(bool AReplace) {
    if (!FEditor) return;
    ReplaceRow->setVisible(AReplace && FAllowReplace);
    FAnchor = FEditor->SelAvail() ? FEditor->BlockBegin() : FEditor->CaretXY();
    const bool WasHidden = isHidden();
    show();
    // A selection within one line is what the user wants to find, unless it is a match of the
    // search in the field (Ctrl+H after finding a regular expression keeps the expression). In
    // regex mode the selection is escaped, so that it finds itself.
    QString Selected = FEditor->SelAvail() && FEditor->BlockBegin().Line == FEditor->BlockEnd().Line
                           ? FEditor->SelText()
                           : QString();
    if (!Selected.isEmpty() && !FindEdit->text().isEmpty() && StartCounting() && CurrentMatch() > 0)
        Selected = FindEdit->text();
    else if (RegexButton->isChecked())
        Selected = QRegularExpression::escape(Selected);
    if (!Selected.isEmpty() && Selected != FindEdit->text()) {
        FindEdit->setText(Selected); // counts and selects through PatternChanged
    } else if (WasHidden) {
        // The same search again: counted and painted, the selection left as it is.
        ShowNotice(QString(), false);
        if (StartCounting()) UpdateCount();
    }
    FindEdit->setFocus();
    FindEdit->selectAll();
}

void TFindBar::Close() {
    hide();
    ShowNotice(QString(), false);
    // Counting and highlighting stop until the bar opens again.
    FCounter->SetSearch(QString(), {}, false);
    FCountTimer->stop();
    if (FEditor) FEditor->setFocus();
}

TLexSearchOptions TFindBar::SearchOptions() const {
    TLexSearchOptions Options;
    if (MatchCaseButton->isChecked()) Options.Include(lexedit::ssoMatchCase);
    if (WholeWordButton->isChecked()) Options.Include(lexedit::ssoWholeWord);
    return Options;
}

lexedit::TLexEditSearchCustom &TFindBar::SearchEngine() {
    if (RegexButton->isChecked()) return FRegex;
    return FPlain;
}

template <typename F> bool TFindBar::Guard(F &&AFunction) {
    try {
        AFunction();
        return true;
    } catch (const lexedit::ELexSearchError &E) {
        ShowNotice(E.Message(), true);
        CountLabel->clear();
        return false;
    }
}

void TFindBar::PatternChanged() {
    if (!FEditor) return;
    ShowNotice(QString(), false);
    const bool Valid = StartCounting();
    // The search starts again where it began.
    FEditor->SetCaretXY(FAnchor);
    if (!Valid) return;
    if (!FindEdit->text().isEmpty()) Find(false);
    UpdateCount();
}

bool TFindBar::StartCounting() {
    return Guard([&] { FCounter->SetSearch(FindEdit->text(), SearchOptions(), RegexButton->isChecked()); });
}

bool TFindBar::FindNext() {
    return FindFromSelection(false);
}

bool TFindBar::FindPrevious() {
    return FindFromSelection(true);
}

bool TFindBar::FindFromSelection(bool ABackward) {
    if (!FEditor) return false;
    if (FindEdit->text().isEmpty()) {
        Open(false);
        return false;
    }
    // Past the selected match, so that the search does not find it again.
    if (FEditor->SelAvail()) FEditor->SetCaretXY(ABackward ? FEditor->BlockBegin() : FEditor->BlockEnd());
    return Find(ABackward);
}

bool TFindBar::Find(bool ABackward) {
    TCustomLexEdit &E = *FEditor;
    const QString Pattern = FindEdit->text();
    TLexSearchOptions Options = SearchOptions();
    if (ABackward) Options.Include(lexedit::ssoBackwards);
    int Found = 0;
    bool Wrapped = false;
    const bool Ok = Guard([&] {
        E.SetSearchEngine(&SearchEngine());
        // The library steps past an empty match (a pattern such as "x*") at the caret itself.
        Found = E.SearchReplace(Pattern, QString(), Options);
        if (Found == 0) {
            Options.Include(lexedit::ssoEntireScope);
            Found = E.SearchReplace(Pattern, QString(), Options);
            Wrapped = Found > 0;
        }
    });
    if (!Ok) return false;
    if (Wrapped)
        ShowNotice(ABackward ? QStringLiteral("Wrapped around to the bottom")
                             : QStringLiteral("Wrapped around to the top"),
                   false);
    else
        ShowNotice(QString(), false);
    UpdateCount();
    return Found > 0;
}

void TFindBar::ReplaceOne() {
    if (!FEditor || !FAllowReplace || FindEdit->text().isEmpty()) return;
    TCustomLexEdit &E = *FEditor;
    if (CurrentMatch() == 0) {
        FindNext();
        return;
    }
    const bool Ok = Guard([&] {
        E.SetSearchEngine(&SearchEngine());
        // The first match from the selection's start is the one selected.
        E.SetCaretXY(E.BlockBegin());
        TLexSearchOptions Options = SearchOptions();
        Options.Include(lexedit::ssoReplace);
        E.SearchReplace(FindEdit->text(), ReplaceEdit->text(), Options);
    });
    if (Ok) Find(false);
}

int TFindBar::ReplaceAll() {
    if (!FEditor || !FAllowReplace || FindEdit->text().isEmpty()) return 0;
    TCustomLexEdit &E = *FEditor;
    int Count = 0;
    const bool Ok = Guard([&] {
        E.SetSearchEngine(&SearchEngine());
        TLexSearchOptions Options = SearchOptions();
        Options.Include(lexedit::ssoReplaceAll);
        Options.Include(lexedit::ssoEntireScope);
        Count = E.SearchReplace(FindEdit->text(), ReplaceEdit->text(), Options);
    });
    if (!Ok) return 0;
    UpdateCount();
    ShowNotice(Count == 1 ? QStringLiteral("1 replaced") : QStringLiteral("%1 replaced").arg(Count), false);
    return Count;
}

qint64 TFindBar::MatchCount() const {
    return FCounter->Active() ? FCounter->Total() : 0;
}

qint64 TFindBar::CurrentMatch() const {
    if (!FEditor) return 0;
    return FCounter->MatchNumber(FEditor->BlockBegin(), FEditor->BlockEnd());
}

QString TFindBar::CountText() const {
    return CountLabel->text();
}

QString TFindBar::NoticeText() const {
    return NoticeLabel->text();
}

void TFindBar::UpdateCount() {
    FCountTimer->stop();
    if (!FCounter->Active()) {
        if (NoticeLabel->property("error").toBool()) return; // the error says why
        CountLabel->clear();
        return;
    }
    const qint64 N = MatchCount();
    const qint64 K = CurrentMatch();
    if (N == 0)
        CountLabel->setText(QStringLiteral("No matches"));
    else if (K > 0)
        CountLabel->setText(QStringLiteral("%1 of %2").arg(K).arg(N));
    else
        CountLabel->setText(N == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(N));
}

void TFindBar::ScheduleCount() {
    if (!FCountTimer->isActive()) FCountTimer->start();
}

void TFindBar::ShowNotice(const QString &AText, bool AError) {
    NoticeLabel->setText(AText);
    NoticeLabel->setProperty("error", AError);
    QPalette Pal = palette();
    Pal.setColor(QPalette::WindowText, AError ? QColor(192, 0, 0) : QColor(0, 96, 160));
    NoticeLabel->setPalette(Pal);
}

bool TFindBar::eventFilter(QObject *AObject, QEvent *AEvent) {
    if (AObject != FindEdit && AObject != ReplaceEdit) return false;
    if (AEvent->type() == QEvent::ShortcutOverride) {
        // Esc belongs to the bar here, not to the window.
        if (static_cast<QKeyEvent *>(AEvent)->key() == Qt::Key_Escape) {
            AEvent->accept();
            return true;
        }
        return false;
    }
    if (AEvent->type() != QEvent::KeyPress) return false;
    const auto *Key = static_cast<QKeyEvent *>(AEvent);
    if (Key->key() == Qt::Key_Escape) {
        common::Guarded([this] { Close(); });
        return true;
    }
    if (Key->key() == Qt::Key_Return || Key->key() == Qt::Key_Enter) {
        const bool Shift = Key->modifiers().testFlag(Qt::ShiftModifier);
        common::Guarded([&] {
            if (AObject == ReplaceEdit)
                ReplaceOne();
            else if (Shift)
                FindPrevious();
            else
                FindNext();
        });
        return true;
    }
    return false;
}

} // namespace app
