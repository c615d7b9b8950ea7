// SPDX-License-Identifier: MIT
#include "lexedit/LexEditKeyCmds.h"

#include "lexedit/LexEditKeyConst.h"

#include <QIODevice>
#include <QKeySequence>
#include <QtEndian>

#include <algorithm>

namespace lexedit {

namespace {

const QString SDuplicateShortCut = QStringLiteral("Shortcut already exists");

QString ListIndexError(int AIndex) {
    return QStringLiteral("List index out of bounds (%1)").arg(AIndex);
}

} // namespace

const TLexEditorCommandIdent EditorCommandStrs[EditorCommandCount] = {
    {ecNone, "ecNone"},
    {ecLeft, "ecLeft"},
    {ecRight, "ecRight"},
    {ecUp, "ecUp"},
    {ecDown, "ecDown"},
    {ecWordLeft, "ecWordLeft"},
    {ecWordRight, "ecWordRight"},
    {ecLineStart, "ecLineStart"},
    {ecLineEnd, "ecLineEnd"},
    {ecPageUp, "ecPageUp"},
    {ecPageDown, "ecPageDown"},
    {ecPageLeft, "ecPageLeft"},
    {ecPageRight, "ecPageRight"},
    {ecPageTop, "ecPageTop"},
    {ecPageBottom, "ecPageBottom"},
    {ecEditorTop, "ecEditorTop"},
    {ecEditorBottom, "ecEditorBottom"},
    {ecGotoXY, "ecGotoXY"},
    {ecSelLeft, "ecSelLeft"},
    {ecSelRight, "ecSelRight"},
    {ecSelUp, "ecSelUp"},
    {ecSelDown, "ecSelDown"},
    {ecSelWordLeft, "ecSelWordLeft"},
    {ecSelWordRight, "ecSelWordRight"},
    {ecSelLineStart, "ecSelLineStart"},
    {ecSelLineEnd, "ecSelLineEnd"},
    {ecSelPageUp, "ecSelPageUp"},
    {ecSelPageDown, "ecSelPageDown"},
    {ecSelPageLeft, "ecSelPageLeft"},
    {ecSelPageRight, "ecSelPageRight"},
    {ecSelPageTop, "ecSelPageTop"},
    {ecSelPageBottom, "ecSelPageBottom"},
    {ecSelEditorTop, "ecSelEditorTop"},
    {ecSelEditorBottom, "ecSelEditorBottom"},
    {ecSelGotoXY, "ecSelGotoXY"},
    {ecSelWord, "ecSelWord"},
    {ecSelectAll, "ecSelectAll"},
    {ecCopy, "ecCopy"},
    {ecScrollUp, "ecScrollUp"},
    {ecScrollDown, "ecScrollDown"},
    {ecScrollLeft, "ecScrollLeft"},
    {ecScrollRight, "ecScrollRight"},
    {ecInsertMode, "ecInsertMode"},
    {ecOverwriteMode, "ecOverwriteMode"},
    {ecToggleMode, "ecToggleMode"},
    {ecNormalSelect, "ecNormalSelect"},
    {ecColumnSelect, "ecColumnSelect"},
    {ecLineSelect, "ecLineSelect"},
    {ecMatchBracket, "ecMatchBracket"},
    {ecCommentBlock, "ecCommentBlock"},
    {ecGotoMarker0, "ecGotoMarker0"},
    {ecGotoMarker1, "ecGotoMarker1"},
    {ecGotoMarker2, "ecGotoMarker2"},
    {ecGotoMarker3, "ecGotoMarker3"},
    {ecGotoMarker4, "ecGotoMarker4"},
    {ecGotoMarker5, "ecGotoMarker5"},
    {ecGotoMarker6, "ecGotoMarker6"},
    {ecGotoMarker7, "ecGotoMarker7"},
    {ecGotoMarker8, "ecGotoMarker8"},
    {ecGotoMarker9, "ecGotoMarker9"},
    {ecSetMarker0, "ecSetMarker0"},
    {ecSetMarker1, "ecSetMarker1"},
    {ecSetMarker2, "ecSetMarker2"},
    {ecSetMarker3, "ecSetMarker3"},
    {ecSetMarker4, "ecSetMarker4"},
    {ecSetMarker5, "ecSetMarker5"},
    {ecSetMarker6, "ecSetMarker6"},
    {ecSetMarker7, "ecSetMarker7"},
    {ecSetMarker8, "ecSetMarker8"},
    {ecSetMarker9, "ecSetMarker9"},
    {ecContextHelp, "ecContextHelp"},
    {ecDeleteLastChar, "ecDeleteLastChar"},
    {ecDeleteChar, "ecDeleteChar"},
    {ecDeleteWord, "ecDeleteWord"},
    {ecDeleteLastWord, "ecDeleteLastWord"},
    {ecDeleteBOL, "ecDeleteBOL"},
    {ecDeleteEOL, "ecDeleteEOL"},
    {ecDeleteLine, "ecDeleteLine"},
    {ecClearAll, "ecClearAll"},
    {ecLineBreak, "ecLineBreak"},
    {ecInsertLine, "ecInsertLine"},
    {ecChar, "ecChar"},
    {ecImeStr, "ecImeStr"},
    {ecUndo, "ecUndo"},
    {ecRedo, "ecRedo"},
    {ecCut, "ecCut"},
    {ecPaste, "ecPaste"},
    {ecBlockIndent, "ecBlockIndent"},
    {ecBlockUnindent, "ecBlockUnindent"},
    {ecTab, "ecTab"},
    {ecShiftTab, "ecShiftTab"},
    {ecUpperCase, "ecUpperCase"},
    {ecLowerCase, "ecLowerCase"},
    {ecToggleCase, "ecToggleCase"},
    {ecTitleCase, "ecTitleCase"},
    {ecString, "ecString"},
    {ecAutoCompletion, "ecAutoCompletion"},
    {ecCopyLineUp, "ecCopyLineUp"},
    {ecCopyLineDown, "ecCopyLineDown"},
    {ecMoveLineUp, "ecMoveLineUp"},
    {ecMoveLineDown, "ecMoveLineDown"},
    {ecFoldAll, "ecFoldAll"},
    {ecUnfoldAll, "ecUnfoldAll"},
    {ecFoldNearest, "ecFoldNearest"},
    {ecUnfoldNearest, "ecUnfoldNearest"},
    {ecFoldLevel1, "ecFoldLevel1"},
    {ecFoldLevel2, "ecFoldLevel2"},
    {ecFoldLevel3, "ecFoldLevel3"},
    {ecUnfoldLevel1, "ecUnfoldLevel1"},
    {ecUnfoldLevel2, "ecUnfoldLevel2"},
    {ecUnfoldLevel3, "ecUnfoldLevel3"},
    {ecFoldRanges, "ecFoldRanges"},
    {ecUnfoldRanges, "ecUnfoldRanges"},
};

bool IdentToEditorCommand(const QString &AIdent, TLexEditorCommand &ACmd) {
    for (const TLexEditorCommandIdent &e : EditorCommandStrs) {
        if (AIdent.compare(QLatin1String(e.Name), Qt::CaseInsensitive) == 0) {
            ACmd = e.Value;
            return true;
        }
    }
    return false;
}

bool EditorCommandToIdent(TLexEditorCommand ACmd, QString &AIdent) {
    for (const TLexEditorCommandIdent &e : EditorCommandStrs) {
        if (e.Value == ACmd) {
            AIdent = QLatin1String(e.Name);
            return true;
        }
    }
    return false;
}

QString EditorCommandToCodeString(TLexEditorCommand ACmd) {
    QString s;
    if (!EditorCommandToIdent(ACmd, s)) s = QString::number(ACmd);
    return s;
}

// ---------------------------------------------------------------------------------------------

TShortCut ShortCut(uint16_t AKey, TShiftState AShift) {
    if (AKey > 0xFF) return 0;
    TShortCut r = AKey;
    if (AShift.Contains(ssShift)) r |= scShift;
    if (AShift.Contains(ssCtrl)) r |= scCtrl;
    if (AShift.Contains(ssAlt)) r |= scAlt;
    return r;
}

void ShortCutToKey(TShortCut AShortCut, uint16_t &AKey, TShiftState &AShift) {
    AKey = AShortCut & 0x1FFF;
    AShift = TShiftState();
    if (AShortCut & scShift) AShift.Include(ssShift);
    if (AShortCut & scCtrl) AShift.Include(ssCtrl);
    if (AShortCut & scAlt) AShift.Include(ssAlt);
}

QString ShortCutToText(TShortCut AShortCut) {
    if (AShortCut == 0) return QString();
    uint16_t key;
    TShiftState shift;
    ShortCutToKey(AShortCut, key, shift);
    int qtKey = VirtualKeyToQtKey(key);
    if (qtKey == 0) return QString();
    if (shift.Contains(ssShift)) qtKey |= Qt::ShiftModifier;
    if (shift.Contains(ssCtrl)) qtKey |= Qt::ControlModifier;
    if (shift.Contains(ssAlt)) qtKey |= Qt::AltModifier;
    return QKeySequence(qtKey).toString(QKeySequence::NativeText);
}

// ---------------------------------------------------------------------------------------------

int TLexEditKeyStroke::Index() const {
    if (!FCollection) return -1;
    for (int i = 0; i < FCollection->Count(); ++i)
        if (FCollection->Items(i) == this) return i;
    return -1;
}

TShortCut TLexEditKeyStroke::ShortCut() const {
    return lexedit::ShortCut(FKey, FShift);
}
TShortCut TLexEditKeyStroke::ShortCut2() const {
    return lexedit::ShortCut(FKey2, FShift2);
}

void TLexEditKeyStroke::SetShortCut(TShortCut AValue) {
    if (AValue != 0 && FCollection) {
        const int i = FCollection->FindShortcut2(AValue, ShortCut2());
        if (i >= 0 && FCollection->Items(i) != this) throw ELexKeyError(SDuplicateShortCut);
    }
    ShortCutToKey(AValue, FKey, FShift);
}

void TLexEditKeyStroke::SetShortCut2(TShortCut AValue) {
    if (AValue != 0 && FCollection) {
        const int i = FCollection->FindShortcut2(ShortCut(), AValue);
        if (i >= 0 && FCollection->Items(i) != this) throw ELexKeyError(SDuplicateShortCut);
    }
    ShortCutToKey(AValue, FKey2, FShift2);
}

void TLexEditKeyStroke::Assign(const TLexEditKeyStroke &ASource) {
    SetCommand(ASource.Command());
    SetKey(ASource.Key());
    SetKey2(ASource.Key2());
    SetShift(ASource.Shift());
    SetShift2(ASource.Shift2());
}

QString TLexEditKeyStroke::GetDisplayName() const {
    QString s = EditorCommandToCodeString(FCommand) + QStringLiteral(" - ") + ShortCutToText(ShortCut());
    if (ShortCut2() != 0) s += QLatin1Char(' ') + ShortCutToText(ShortCut2());
    return s;
}

namespace {

void WriteWords(QIODevice &AStream, const uint16_t *AWords, int ACount) {
    QByteArray bytes(ACount * 2, Qt::Uninitialized);
    for (int i = 0; i < ACount; ++i)
        qToLittleEndian<quint16>(AWords[i], bytes.data() + 2 * i);
    if (AStream.write(bytes) != bytes.size())
        throw ELexKeyError(QStringLiteral("Cannot write keystrokes: %1").arg(AStream.errorString()));
}

// Reads exactly ABytes bytes or raises.
QByteArray ReadExactly(QIODevice &AStream, qint64 ABytes) {
    QByteArray bytes = AStream.read(ABytes);
    if (bytes.size() != ABytes) throw ELexKeyError(QStringLiteral("Keystroke stream ends early"));
    return bytes;
}

} // namespace

void TLexEditKeyStroke::SaveToStream(QIODevice &AStream) const {
    const uint16_t words[5] = {FKey, FShift.ToMask(), FKey2, FShift2.ToMask(), FCommand};
    WriteWords(AStream, words, 5);
}

void TLexEditKeyStroke::LoadFromStream(QIODevice &AStream) {
    const QByteArray bytes = ReadExactly(AStream, KeyStrokeStreamSize);
    const char *p = bytes.constData();
    FKey = qFromLittleEndian<quint16>(p);
    FShift = TShiftState::FromMask(qFromLittleEndian<quint16>(p + 2));
    FKey2 = qFromLittleEndian<quint16>(p + 4);
    FShift2 = TShiftState::FromMask(qFromLittleEndian<quint16>(p + 6));
    FCommand = qFromLittleEndian<quint16>(p + 8);
}

// ---------------------------------------------------------------------------------------------

TLexEditKeyStrokes::TLexEditKeyStrokes(QObject *AOwner) : FOwner(AOwner) {}

TLexEditKeyStrokes::~TLexEditKeyStrokes() = default;

TLexEditKeyStroke *TLexEditKeyStrokes::Items(int AIndex) const {
    if (AIndex < 0 || AIndex >= Count()) throw ELexKeyError(ListIndexError(AIndex));
    return FItems[size_t(AIndex)].get();
}

void TLexEditKeyStrokes::SetItems(int AIndex, const TLexEditKeyStroke &AValue) {
    Items(AIndex)->Assign(AValue);
}

TLexEditKeyStroke *TLexEditKeyStrokes::Add() {
    FItems.push_back(std::unique_ptr<TLexEditKeyStroke>(new TLexEditKeyStroke(this)));
    return FItems.back().get();
}

TLexEditKeyStroke *TLexEditKeyStrokes::AddKey(TLexEditorCommand ACmd, uint16_t AKey, TShiftState AShift,
                                              uint16_t AKey2, TShiftState AShift2) {
    if (FindKeycode2(AKey, AShift, AKey2, AShift2) >= 0) throw ELexKeyError(SDuplicateShortCut);
    TLexEditKeyStroke *item = Add();
    try {
        item->SetKey(AKey);
        item->SetShift(AShift);
        item->SetKey2(AKey2);
        item->SetShift2(AShift2);
        item->SetCommand(ACmd);
    } catch (...) {
        FItems.pop_back();
        throw;
    }
    return item;
}

void TLexEditKeyStrokes::Delete(int AIndex) {
    Items(AIndex); // checks the index
    FItems.erase(FItems.begin() + AIndex);
}

void TLexEditKeyStrokes::Clear() {
    FItems.clear();
}

void TLexEditKeyStrokes::Assign(const TLexEditKeyStrokes &ASource) {
    if (&ASource == this) return;
    std::vector<std::unique_ptr<TLexEditKeyStroke>> items;
    items.reserve(ASource.FItems.size());
    for (const auto &src : ASource.FItems) {
        items.push_back(std::unique_ptr<TLexEditKeyStroke>(new TLexEditKeyStroke(this)));
        items.back()->Assign(*src);
    }
    FItems.swap(items);
}

int TLexEditKeyStrokes::FindCommand(TLexEditorCommand ACmd) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->FCommand == ACmd) return int(i);
    return -1;
}

int TLexEditKeyStrokes::FindKeycode(uint16_t ACode, TShiftState ASS) const {
    for (size_t i = 0; i < FItems.size(); ++i) {
        const TLexEditKeyStroke &k = *FItems[i];
        if (k.FKey == ACode && k.FShift == ASS && k.FKey2 == 0) return int(i);
    }
    return -1;
}

int TLexEditKeyStrokes::FindKeycode2(uint16_t ACode1, TShiftState ASS1, uint16_t ACode2,
                                     TShiftState ASS2) const {
    for (size_t i = 0; i < FItems.size(); ++i) {
        const TLexEditKeyStroke &k = *FItems[i];
        if (k.FKey == ACode1 && k.FShift == ASS1 && k.FKey2 == ACode2 && k.FShift2 == ASS2) return int(i);
    }
    return -1;
}

int TLexEditKeyStrokes::FindShortcut(TShortCut ASC) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->ShortCut() == ASC) return int(i);
    return -1;
}

int TLexEditKeyStrokes::FindShortcut2(TShortCut ASC, TShortCut ASC2) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->ShortCut() == ASC && FItems[i]->ShortCut2() == ASC2) return int(i);
    return -1;
}

void TLexEditKeyStrokes::SaveToStream(QIODevice &AStream) const {
    char count[4];
    qToLittleEndian<qint32>(qint32(FItems.size()), count);
    if (AStream.write(count, 4) != 4)
        throw ELexKeyError(QStringLiteral("Cannot write keystrokes: %1").arg(AStream.errorString()));
    for (const auto &item : FItems)
        item->SaveToStream(AStream);
}

void TLexEditKeyStrokes::LoadFromStream(QIODevice &AStream) {
    const QByteArray head = ReadExactly(AStream, 4);
    const qint32 count = qFromLittleEndian<qint32>(head.constData());
    if (count < 0) throw ELexKeyError(QStringLiteral("Invalid keystroke count %1").arg(count));
    // A sequential device cannot tell how much is left: the reads below catch a short stream.
    if (!AStream.isSequential() && AStream.bytesAvailable() < qint64(count) * KeyStrokeStreamSize)
        throw ELexKeyError(QStringLiteral("Keystroke stream ends early"));
    std::vector<std::unique_ptr<TLexEditKeyStroke>> items;
    // On a sequential device the count is unchecked: let the reads find a short stream.
    items.reserve(size_t(std::min<qint32>(count, 4096)));
    for (qint32 i = 0; i < count; ++i) {
        items.push_back(std::unique_ptr<TLexEditKeyStroke>(new TLexEditKeyStroke(this)));
        items.back()->LoadFromStream(AStream);
    }
    FItems.swap(items);
}

// ---------------------------------------------------------------------------------------------

TLexEditorCommand TranslateKeyCode(const TLexEditKeyStrokes &AKeyStrokes, uint16_t AKey, TShiftState AShift,
                                   uint16_t &ALastKey, TShiftState &ALastShift) {
    TLexEditorCommand cmd = ecNone;
    int i = AKeyStrokes.FindKeycode2(ALastKey, ALastShift, AKey, AShift);
    if (i < 0) i = AKeyStrokes.FindKeycode(AKey, AShift);
    if (i >= 0) cmd = AKeyStrokes.Items(i)->Command();
    if (cmd == ecNone && AKey >= 30 && AKey <= 145) {
        ALastKey = AKey;
        ALastShift = AShift;
    } else {
        ALastKey = 0;
        ALastShift = TShiftState();
    }
    return cmd;
}

} // namespace lexedit
