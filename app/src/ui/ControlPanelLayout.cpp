// SPDX-License-Identifier: MIT
// The widget tree of the window, built in code with the names, sizes, captions and fonts of its
// stored layout (sizes are pixels at 96 dots per inch).

#include "ControlPanelUnit.h"
#include "ElidedLabel.h"
#include "ResultBrowser.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditHighlighterOptions.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>

// The pictures are compiled into this static library; register them before the first use.
static void InitIconResources() {
    Q_INIT_RESOURCE(checkphp);
}

namespace app {

namespace {

QFont TahomaFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QFont ConsolasFont(int APixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(APixelSize);
    return font;
}

// A flat panel without a visible caption.
QFrame *MakePanel(QWidget *AParent, const char *AName, QFrame::Shadow AShadow = QFrame::Plain) {
    auto *panel = new QFrame(AParent);
    panel->setObjectName(QString::fromLatin1(AName));
    panel->setFrameShape(AShadow == QFrame::Raised ? QFrame::Panel : QFrame::NoFrame);
    panel->setFrameShadow(AShadow);
    panel->setLineWidth(1);
    return panel;
}

void SetGreyText(QWidget *AWidget, const QColor &AColor) {
    QPalette pal = AWidget->palette();
    pal.setColor(QPalette::WindowText, AColor);
    pal.setColor(QPalette::ButtonText, AColor);
    pal.setColor(QPalette::Text, AColor);
    AWidget->setPalette(pal);
}

QToolButton *MakeButton(QWidget *AParent, const char *AName, const QString &ACaption, const QString &AIcon) {
    auto *button = new QToolButton(AParent);
    button->setObjectName(QString::fromLatin1(AName));
    button->setText(ACaption);
    button->setIcon(QIcon(AIcon));
    button->setIconSize(QSize(48, 48));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(48, 73);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(TahomaFont());
    button->setLayoutDirection(Qt::LeftToRight);
    button->setToolTip(QString());
    SetGreyText(button, QColor(128, 128, 128));
    return button;
}

QLabel *MakeLabel(QWidget *AParent, const char *AName, const QString &ACaption, const QColor &AGrey) {
    auto *label = new QLabel(ACaption, AParent);
    label->setObjectName(QString::fromLatin1(AName));
    label->setFont(TahomaFont());
    SetGreyText(label, AGrey);
    return label;
}

// The two editors are alike but for their highlighter.
lexedit::TLexEdit *MakeMemo(QWidget *AParent, const char *AName,
                            lexedit::TLexCustomHighlighter *AHighlighter) {
    auto *memo = new lexedit::TLexEdit(AParent);
    memo->setObjectName(QString::fromLatin1(AName));
    memo->SetEditorFont(ConsolasFont(13));
    memo->SetUseCodeFolding(false);
    memo->Gutter().SetFont(ConsolasFont(11));
    memo->Gutter().SetShowLineNumbers(true);
    // Wide enough for the last line's number (12 M lines of output need eight digits); the
    // marks keep their column left of the numbers.
    memo->Gutter().SetAutoSize(true);
    memo->SetHighlighter(AHighlighter);
    return memo;
}

// The descriptive options both highlighters take from the window.
void SetDescriptiveOptions(lexedit::TLexCustomHighlighter &AHighlighter) {
    AHighlighter.Options().SetAutoDetectEnabled(false);
    AHighlighter.Options().SetAutoDetectLineLimit(0);
    AHighlighter.Options().SetVisible(false);
}

void SetAttribute(lexedit::TLexHighlighterAttributes *AAttribute, int R, int G, int B) {
    AAttribute->SetForeground(lexedit::TColor(R | (G << 8) | (B << 16)));
}

void SetAttribute(lexedit::TLexHighlighterAttributes *AAttribute, int R, int G, int B,
                  lexedit::TFontStyles AStyle) {
    SetAttribute(AAttribute, R, G, B);
    AAttribute->SetStyle(AStyle);
}

// The colours the window gives the highlighters (the other attributes keep their defaults).
void ConfigureHighlighters(lexedit::TLexHTMLLex &AHtml, lexedit::TLexPHPLex &APhp) {
    using lexedit::fsItalic;
    SetAttribute(AHtml.AndAttri(), 0, 128, 64);
    SetAttribute(AHtml.CommentAttri(), 0, 128, 128, {fsItalic});
    SetAttribute(AHtml.IdentifierAttri(), 255, 128, 0);
    SetAttribute(AHtml.KeyAttri(), 128, 64, 0, {});
    SetAttribute(AHtml.SymbolAttri(), 0, 64, 128, {});
    SetAttribute(AHtml.TextAttri(), 30, 30, 30);
    SetAttribute(AHtml.UndefKeyAttri(), 128, 64, 0, {});
    SetAttribute(AHtml.ValueAttri(), 0, 107, 159);
    SetAttribute(APhp.CommentAttri(), 0, 179, 0);
    SetAttribute(APhp.IdentifierAttri(), 0, 128, 128);
    SetAttribute(APhp.KeyAttri(), 128, 0, 128);
    SetAttribute(APhp.NumberAttri(), 235, 183, 5);
    SetAttribute(APhp.StringAttri(), 255, 0, 255);
    SetDescriptiveOptions(AHtml);
    SetDescriptiveOptions(APhp);
}

} // namespace

// The input row under the result view: what is typed goes to the running script.
void TControlPanelForm::CreateInputRow(const QColor &AGreyText) {
    InputPanel = MakePanel(TabSheet2, "InputPanel");
    auto *inputLayout = new QHBoxLayout(InputPanel);
    inputLayout->setContentsMargins(3, 2, 3, 2);
    inputLayout->setSpacing(6);
    InputLabel = MakeLabel(InputPanel, "InputLabel", QStringLiteral("Input:"), AGreyText);
    InputEdit = new QLineEdit(InputPanel);
    InputEdit->setObjectName(QStringLiteral("InputEdit"));
    InputEdit->setFont(TahomaFont());
    InputEdit->setPlaceholderText(QStringLiteral("A line for the running script (Enter sends it)"));
    CloseInputButton = new QToolButton(InputPanel);
    CloseInputButton->setObjectName(QStringLiteral("CloseInputButton"));
    CloseInputButton->setText(QStringLiteral("Close input"));
    CloseInputButton->setFont(TahomaFont());
    inputLayout->addWidget(InputLabel);
    inputLayout->addWidget(InputEdit, 1);
    inputLayout->addWidget(CloseInputButton);
    qobject_cast<QVBoxLayout *>(TabSheet2->layout())->addWidget(InputPanel);
}

void TControlPanelForm::CreateWidgets() {
    InitIconResources();
    setWindowTitle(QStringLiteral("Check PHP file"));
    setFont(TahomaFont());
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    const QColor greyText = palette().color(QPalette::Disabled, QPalette::Text);

    auto *formLayout = new QVBoxLayout(this);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->setSpacing(0);

    // Tool panel: five buttons, 48 x 73 with margins of 3, inside a raised 1-px bevel.
    ControlPanel = MakePanel(this, "ControlPanel", QFrame::Raised);
    ControlPanel->setFixedHeight(81);
    auto *toolLayout = new QHBoxLayout(ControlPanel);
    toolLayout->setContentsMargins(0, 0, 0, 0); // the bevel already takes 1 px
    toolLayout->setSpacing(0);
    SpeedButton1 =
        MakeButton(ControlPanel, "SpeedButton1", QStringLiteral("PHP"), QStringLiteral(":/icons/folder.png"));
    SpeedButton2 = MakeButton(ControlPanel, "SpeedButton2", QStringLiteral("Script"),
                              QStringLiteral(":/icons/elephant.png"));
    PHPFileButton = MakeButton(ControlPanel, "PHPFileButton", QStringLiteral("Execute"),
                               QStringLiteral(":/icons/chevron.png"));
    SaveButton =
        MakeButton(ControlPanel, "SaveButton", QStringLiteral("Save"), QStringLiteral(":/icons/floppy.png"));
    StopButton =
        MakeButton(ControlPanel, "StopButton", QStringLiteral("Stop"), QStringLiteral(":/icons/stop.png"));
    for (QToolButton *button : {SpeedButton1, SpeedButton2, PHPFileButton, SaveButton, StopButton}) {
        auto *cell = new QVBoxLayout;
        cell->setContentsMargins(3, 3, 3, 3);
        cell->addWidget(button);
        toolLayout->addLayout(cell);
    }
    toolLayout->addStretch(1);
    formLayout->addWidget(ControlPanel);

    // Parameters row: 24 high, 10 above and below.
    formLayout->addSpacing(10);
    Panel2 = MakePanel(this, "Panel2");
    Panel2->setFixedHeight(24);
    auto *paramsLayout = new QHBoxLayout(Panel2);
    paramsLayout->setContentsMargins(3, 3, 3, 3);
    paramsLayout->setSpacing(6);
    Label2 = MakeLabel(Panel2, "Label2", QStringLiteral("Parameters:"), greyText);
    ParamsEdit = new QLineEdit(Panel2);
    ParamsEdit->setObjectName(QStringLiteral("ParamsEdit"));
    ParamsEdit->setFont(TahomaFont());
    ParamsEdit->setFrame(true);
    SetGreyText(ParamsEdit, greyText);
    paramsLayout->addWidget(Label2);
    paramsLayout->addWidget(ParamsEdit, 1);
    // The script's whole run configuration: options, environment, working folder.
    RunConfigButton = new QToolButton(Panel2);
    RunConfigButton->setObjectName(QStringLiteral("RunConfigButton"));
    RunConfigButton->setText(QStringLiteral("\u2026"));
    RunConfigButton->setFixedHeight(22);
    paramsLayout->addWidget(RunConfigButton);
    // Runs the script again each time it is saved (ControlPanelRunOnSave.cpp).
    RunOnSaveBox = new QCheckBox(QStringLiteral("Run on save"), Panel2);
    RunOnSaveBox->setObjectName(QStringLiteral("RunOnSaveBox"));
    RunOnSaveBox->setFont(TahomaFont());
    SetGreyText(RunOnSaveBox, greyText);
    paramsLayout->addSpacing(6);
    paramsLayout->addWidget(RunOnSaveBox);
    formLayout->addWidget(Panel2);
    formLayout->addSpacing(10);

    // Browser above, the two editor tabs below, a 5-px splitter between them.
    Panel1 = MakePanel(this, "Panel1");
    auto *centerLayout = new QVBoxLayout(Panel1);
    centerLayout->setContentsMargins(0, 0, 0, 0);
    HSplitter = new QSplitter(Qt::Vertical, Panel1);
    HSplitter->setObjectName(QStringLiteral("HSplitter"));
    HSplitter->setHandleWidth(5);
    HSplitter->setChildrenCollapsible(false);
    WB = new TResultBrowser(HSplitter);
    WB->setObjectName(QStringLiteral("WB"));
    WB->setMinimumHeight(1);
    PageControl = new QTabWidget(HSplitter);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setTabPosition(QTabWidget::South);
    PageControl->setMinimumHeight(150);
    CodeSheet = new QWidget;
    CodeSheet->setObjectName(QStringLiteral("CodeSheet"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PHPCode = new lexedit::TLexPHPLex(this);
    PHPCode->setObjectName(QStringLiteral("PHPCode"));
    HTML5 = new lexedit::TLexHTMLLex(this);
    HTML5->setObjectName(QStringLiteral("HTML5"));
    ConfigureHighlighters(*HTML5, *PHPCode);
    PHPmemo = MakeMemo(CodeSheet, "PHPmemo", PHPCode);
    WebMemo = MakeMemo(TabSheet2, "WebMemo", HTML5);
    for (auto [sheet, memo] : {std::pair<QWidget *, QWidget *>{CodeSheet, PHPmemo}, {TabSheet2, WebMemo}}) {
        auto *sheetLayout = new QVBoxLayout(sheet);
        sheetLayout->setContentsMargins(0, 0, 0, 0);
        sheetLayout->addWidget(memo);
    }
    CreateInputRow(greyText);
    CreateFindBars();
    PageControl->addTab(CodeSheet, QStringLiteral("PHP Code"));
    PageControl->addTab(TabSheet2, QStringLiteral("HTML Result"));
    PageControl->setCurrentIndex(0);
    HSplitter->addWidget(WB);
    HSplitter->addWidget(PageControl);
    // The browser takes every change of height; the page control keeps its own until the
    // splitter is dragged.
    HSplitter->setStretchFactor(0, 1);
    HSplitter->setStretchFactor(1, 0);
    HSplitter->setSizes({141, 179});
    centerLayout->addWidget(HSplitter);
    formLayout->addWidget(Panel1, 1);

    // Status line: 19 high, 10 above.
    formLayout->addSpacing(10);
    StatusPanel = MakePanel(this, "StatusPanel");
    StatusPanel->setFixedHeight(19);
    auto *statusLayout = new QHBoxLayout(StatusPanel);
    statusLayout->setContentsMargins(5, 1, 5, 0);
    statusLayout->setSpacing(6);
    ControlLabel = new TElidedLabel(StatusPanel);
    ControlLabel->setObjectName(QStringLiteral("ControlLabel"));
    ControlLabel->setText(QStringLiteral(">"));
    ControlLabel->setFont(TahomaFont());
    SetGreyText(ControlLabel, greyText);
    ControlLabel->setMinimumWidth(0);
    ControlLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    RunStatusLabel = MakeLabel(StatusPanel, "RunStatusLabel", QString(), greyText);
    Label1 = MakeLabel(StatusPanel, "Label1", QStringLiteral("Colvane test No 2"), greyText);
    statusLayout->addWidget(ControlLabel, 1);
    statusLayout->addWidget(RunStatusLabel);
    statusLayout->addWidget(Label1);
    formLayout->addWidget(StatusPanel);

    setTabOrder(SpeedButton1, SpeedButton2);
    setTabOrder(SpeedButton2, PHPFileButton);
    setTabOrder(PHPFileButton, SaveButton);
    setTabOrder(SaveButton, ParamsEdit);
    setTabOrder(ParamsEdit, RunOnSaveBox);
    setTabOrder(RunOnSaveBox, WB);
    setTabOrder(WB, PageControl);
    for (QToolButton *button : {SpeedButton1, SpeedButton2, PHPFileButton, SaveButton})
        button->setFocusPolicy(Qt::TabFocus);
    // Stop stays out of the tab order of the window's own controls; Esc reaches it from anywhere.
    StopButton->setFocusPolicy(Qt::NoFocus);

    // Client area 804 x 481 at start; never smaller than that (the 820 x 520 outer size less a
    // frame, which the window manager adds here).
    setMinimumSize(804, 481);
    resize(804, 481);
    // Centred on the screen at start.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(0, 0), size());
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }
}

} // namespace app
