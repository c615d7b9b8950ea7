// SPDX-License-Identifier: MIT
// Token attributes, the notify-event chain, the placeable-highlighter list and the scanning core
// of the base highlighter. Persistence lives in LexEditHighlighterPersist.cpp, the INI file in
// LexEditHighlighterIni.cpp.

#include "lexedit/LexEditHighlighter.h"

#include "lexedit/LexEditHighlighterOptions.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTypes.h"

#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstring>
#include <typeinfo>

namespace lexedit {

namespace {

QString ObjectClassName(const QObject *AObject) {
    if (!AObject) return QStringLiteral("nil");
    if (auto *h = dynamic_cast<const TLexCustomHighlighter *>(AObject))
        return QString::fromLatin1(h->ClassName());
    if (auto *a = dynamic_cast<const TLexHighlighterAttributes *>(AObject))
        return QString::fromLatin1(a->ClassName());
    return QString::fromLatin1(AObject->metaObject()->className());
}

[[noreturn]] void RaiseAssignError(const QObject *Source, const QString &ADestClass) {
    throw EConvertError(
        QStringLiteral("Cannot assign a %1 to a %2.").arg(ObjectClassName(Source), ADestClass));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TLexMethodChain

TLexMethodChain::TLexMethodChain(TExceptionHandler AExceptionHandler)
    : FExceptionHandler(std::move(AExceptionHandler)) {}

void TLexMethodChain::Add(const void *AData, TNotifyEvent AEvent) {
    if (!AData || !AEvent)
        throw ELexMethodChain(QStringLiteral("%1.Entry : the parameter `AEvent' must be specified.")
                                  .arg(QLatin1String(ClassName())));
    FEntries.push_back(TLexMethod{AData, std::move(AEvent)});
}

void TLexMethodChain::Remove(const void *AData) {
    if (!AData)
        throw ELexMethodChain(QStringLiteral("%1.Remove: the parameter `AEvent' must be specified.")
                                  .arg(QLatin1String(ClassName())));
    for (size_t i = FEntries.size(); i-- > 0;)
        if (FEntries[i].Data == AData) FEntries.erase(FEntries.begin() + std::ptrdiff_t(i));
}

void TLexMethodChain::Fire() {
    for (size_t i = 0; i < FEntries.size(); ++i) {
        const TLexMethod Entry = FEntries[i]; // a copy: the listener may remove itself
        try {
            DoFire(Entry);
        } catch (const std::exception &E) {
            if (!DoHandleException(E)) break;
        }
    }
}

bool TLexMethodChain::DoHandleException(const std::exception &E) {
    if (!FExceptionHandler) throw; // the exception being handled by Fire propagates
    bool DoContinue = true;
    try {
        FExceptionHandler(this, E, DoContinue);
    } catch (...) {
        throw ELexMethodChain(
            QStringLiteral("%1.DoHandleException : MUST NOT occur any kind of exception in ExceptionHandler")
                .arg(QLatin1String(ClassName())));
    }
    return DoContinue;
}

void TLexNotifyEventChain::DoFire(const TLexMethod &AEvent) {
    AEvent.Code(FSender);
}

// ---------------------------------------------------------------------------------------------
// TLexHighlighterAttributes

TLexHighlighterAttributes::TLexHighlighterAttributes(const QString &AName, const QString &AFriendlyName)
    : fFriendlyName(AFriendlyName), fName(AName) {}

void TLexHighlighterAttributes::Assign(const QObject *Source) {
    auto *Src = dynamic_cast<const TLexHighlighterAttributes *>(Source);
    if (!Src) RaiseAssignError(Source, QLatin1String(ClassName()));
    if (Src == this) return;
    fName = Src->fName;
    AssignColorAndStyle(*Src);
}

void TLexHighlighterAttributes::AssignColorAndStyle(const TLexHighlighterAttributes &Source) {
    bool bChanged = false;
    if (fBackground != Source.fBackground) {
        fBackground = Source.fBackground;
        bChanged = true;
    }
    if (fForeground != Source.fForeground) {
        fForeground = Source.fForeground;
        bChanged = true;
    }
    if (fStyle != Source.fStyle) {
        fStyle = Source.fStyle;
        bChanged = true;
    }
    if (bChanged) Changed();
}

void TLexHighlighterAttributes::SetBackground(TColor Value) {
    if (fBackground != Value) {
        fBackground = Value;
        Changed();
    }
}

void TLexHighlighterAttributes::SetForeground(TColor Value) {
    if (fForeground != Value) {
        fForeground = Value;
        Changed();
    }
}

void TLexHighlighterAttributes::SetStyle(TFontStyles Value) {
    if (fStyle != Value) {
        fStyle = Value;
        Changed();
    }
}

void TLexHighlighterAttributes::SetColors(TColor Foreground, TColor Background) {
    if (fForeground != Foreground || fBackground != Background) {
        fForeground = Foreground;
        fBackground = Background;
        Changed();
    }
}

void TLexHighlighterAttributes::SetStyleFromInt(int Value) {
    SetStyle((Value & 1) ? TFontStyles{fsBold} : TFontStyles{});
    if (Value & 2) SetStyle(fStyle + TFontStyles{fsItalic});
    if (Value & 4) SetStyle(fStyle + TFontStyles{fsUnderline});
    if (Value & 8) SetStyle(fStyle + TFontStyles{fsStrikeOut});
}

void TLexHighlighterAttributes::InternalSaveDefaultValues() {
    fForegroundDefault = fForeground;
    fBackgroundDefault = fBackground;
    fStyleDefault = fStyle;
}

void TLexHighlighterAttributes::Changed() {
    if (fOnChange) fOnChange(this);
}

// ---------------------------------------------------------------------------------------------
// Placeable highlighters

const TLexHighlighterClass *TLexHighlighterList::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(Index));
    return FItems[size_t(Index)];
}

int TLexHighlighterList::IndexOf(const TLexHighlighterClass *AClass) const {
    auto it = std::find(FItems.begin(), FItems.end(), AClass);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TLexHighlighterList::Add(const TLexHighlighterClass *AClass) {
    if (AClass && IndexOf(AClass) < 0) FItems.push_back(AClass);
}

int TLexHighlighterList::FindByClass(const TLexCustomHighlighter *Comp) const {
    if (!Comp) return -1;
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->IsInstance(Comp)) return i;
    return -1;
}

int TLexHighlighterList::FindByName(const QString &Name) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->GetLanguageName() == Name) return i;
    return -1;
}

int TLexHighlighterList::FindByFriendlyName(const QString &FriendlyName) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->GetFriendlyLanguageName() == FriendlyName) return i;
    return -1;
}

TLexHighlighterList &G_PlaceableHighlighters() {
    static TLexHighlighterList List;
    return List;
}

void RegisterPlaceableHighlighter(const TLexHighlighterClass *highlighter) {
    G_PlaceableHighlighters().Add(highlighter);
}

// ---------------------------------------------------------------------------------------------
// TLexCustomHighlighter: construction, attributes, notification

TLexCustomHighlighter::TLexCustomHighlighter(QObject *AOwner)
    : QObject(AOwner), fAttrChangeHooks(TLexNotifyEventChain::CreateEx(this)),
      FOptions(std::make_unique<TLexEditHighlighterOptions>()) {
    fLineBufCapacity = 256;
    fLineBuf.reset(new char16_t[fLineBufCapacity]);
    fLineBuf[0] = 0;
    fLine = fLineBuf.get();
    fCasedLine = fLine;
}

TLexCustomHighlighter::~TLexCustomHighlighter() {
    while (!fAttributes.empty())
        fAttributes.pop_back(); // last to first
}

QString TLexCustomHighlighter::GetLanguageName() {
    return QStringLiteral("<Unknown>");
}
QString TLexCustomHighlighter::GetFriendlyLanguageName() {
    return QStringLiteral("<Unknown>");
}

int TLexCustomHighlighter::GetAttribCount() const {
    return int(fAttributes.size());
}

TLexHighlighterAttributes *TLexCustomHighlighter::GetAttribute(int Index) const {
    if (Index < 0 || Index >= int(fAttributes.size())) return nullptr;
    return fAttributes[size_t(Index)].get();
}

void TLexCustomHighlighter::AddAttribute(TLexHighlighterAttributes *Attri) {
    std::unique_ptr<TLexHighlighterAttributes> Owned(Attri);
    COMMON_ASSERT(Owned);
    auto Less = [](const std::unique_ptr<TLexHighlighterAttributes> &A, const QString &AName) {
        return QString::compare(A->Name(), AName, Qt::CaseInsensitive) < 0;
    };
    auto it = std::lower_bound(fAttributes.begin(), fAttributes.end(), Owned->Name(), Less);
    if (it != fAttributes.end() && QString::compare((*it)->Name(), Owned->Name(), Qt::CaseInsensitive) == 0)
        throw EStringListError(QStringLiteral("String list does not allow duplicates"));
    fAttributes.insert(it, std::move(Owned));
}

void TLexCustomHighlighter::SetAttributesOnChange(TNotifyEvent AEvent) {
    for (size_t i = fAttributes.size(); i-- > 0;) {
        fAttributes[i]->SetOnChange(AEvent);
        fAttributes[i]->InternalSaveDefaultValues();
    }
}

void TLexCustomHighlighter::HookAttrChangeEvent(const void *AListener, TNotifyEvent ANotifyEvent) {
    fAttrChangeHooks->Add(AListener, std::move(ANotifyEvent));
}

void TLexCustomHighlighter::UnhookAttrChangeEvent(const void *AListener) {
    fAttrChangeHooks->Remove(AListener);
}

void TLexCustomHighlighter::BeginUpdate() {
    ++fUpdateCount;
}

void TLexCustomHighlighter::EndUpdate() {
    if (fUpdateCount <= 0) return;
    --fUpdateCount;
    if (fUpdateCount == 0 && fUpdateChange) {
        fUpdateChange = false;
        DefHighlightChange(nullptr);
    }
}

void TLexCustomHighlighter::DefHighlightChange(QObject *Sender) {
    if (fUpdateCount > 0) {
        fUpdateChange = true;
        return;
    }
    if (fLoading) return;
    fAttrChangeHooks->SetSender(Sender);
    fAttrChangeHooks->Fire();
}

void TLexCustomHighlighter::Loaded() {
    fLoading = false;
    DefHighlightChange(nullptr);
}

void TLexCustomHighlighter::SetEnabled(bool Value) {
    if (fEnabled != Value) {
        fEnabled = Value;
        DefHighlightChange(nullptr);
    }
}

void TLexCustomHighlighter::SetOptions(const TLexEditHighlighterOptions &Value) {
    FOptions->Assign(&Value);
}

void TLexCustomHighlighter::Assign(const QObject *Source) {
    auto *Src = dynamic_cast<const TLexCustomHighlighter *>(Source);
    if (!Src) RaiseAssignError(Source, QLatin1String(ClassName()));
    if (Src == this) return;
    TUpdateGuard Guard(*this);
    for (int i = 0; i < AttrCount(); ++i) {
        TLexHighlighterAttributes *Attri = GetAttribute(i);
        for (int j = 0; j < Src->AttrCount(); ++j) {
            TLexHighlighterAttributes *SrcAttri = Src->GetAttribute(j);
            if (SrcAttri->Name() == Attri->Name()) {
                Attri->Assign(SrcAttri);
                break;
            }
        }
    }
    if (typeid(*Src) == typeid(*this)) SetSampleSource(Src->GetSampleSource());
    SetDefaultFilter(Src->GetDefaultFilter());
    SetEnabled(Src->Enabled());
}

QString TLexCustomHighlighter::GetExportName() {
    if (FExportName.isEmpty()) FExportName = DeleteTypePrefixAndLexSuffix(QString::fromLatin1(ClassName()));
    return FExportName;
}

QString TLexCustomHighlighter::GetKeyWords(int TokenKind) const {
    Q_UNUSED(TokenKind);
    return QString();
}

bool TLexCustomHighlighter::IsKeyword(const QString &AKeyword) const {
    Q_UNUSED(AKeyword);
    return false;
}

bool TLexCustomHighlighter::UseUserSettings(int settingIndex) {
    Q_UNUSED(settingIndex);
    return false;
}

void TLexCustomHighlighter::EnumUserSettings(QStringList &Settings) {
    Settings.clear();
}

// ---------------------------------------------------------------------------------------------
// Scanning core

void TLexCustomHighlighter::SetLine(const QString &Value, int LineNumber) {
    fExpandedLineStr.clear();
    fExpandedLine = nullptr;
    fExpandedLineLen = 0;
    DoSetLine(Value, LineNumber);
    Next();
}

void TLexCustomHighlighter::SetLineExpandedAtWideGlyphs(const QString &Line, const QString &ExpandedLine,
                                                        int LineNumber) {
    fExpandedLineStr = ExpandedLine;
    fExpandedLine = reinterpret_cast<const char16_t *>(fExpandedLineStr.utf16());
    fExpandedLineLen = int(fExpandedLineStr.size());
    DoSetLine(Line, LineNumber);
    Next();
}

namespace {

// The copy of a longer line than this (in code units, far above the usual line) is given back
// after the line instead of being kept for the next ones.
constexpr size_t LargeLineCopy = 64 * 1024;

// Lowers Src[AFrom ..] into Dst in blocks of eight ASCII units, up to the first block holding
// another unit or too short to fill; returns where it stopped.
int LowerAsciiBlocks(const char16_t *Src, char16_t *Dst, int Len, int AFrom = 0) {
    int i = AFrom;
#ifdef __SSE2__
    const __m128i NonAscii = _mm_set1_epi16(short(0xFF80));
    const __m128i BeforeA = _mm_set1_epi16(u'A' - 1);
    const __m128i AfterZ = _mm_set1_epi16(u'Z' + 1);
    const __m128i Case = _mm_set1_epi16(32);
    const __m128i Zero = _mm_setzero_si128();
    for (; i + 8 <= Len; i += 8) {
        const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(Src + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(V, NonAscii), Zero)) != 0xFFFF) break;
        const __m128i Upper = _mm_and_si128(_mm_cmpgt_epi16(V, BeforeA), _mm_cmplt_epi16(V, AfterZ));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(Dst + i), _mm_add_epi16(V, _mm_and_si128(Upper, Case)));
    }
#else
    Q_UNUSED(Src);
    Q_UNUSED(Dst);
    Q_UNUSED(Len);
#endif
    return i;
}

} // namespace

void TLexCustomHighlighter::DoSetLine(const QString &Value, int LineNumber) {
    const int Len = int(Value.size());
    const char16_t *Src = reinterpret_cast<const char16_t *>(Value.utf16());
    const size_t Needed = size_t(Len) + 1;
    if (Needed > fLineBufCapacity || (fLineBufCapacity > LargeLineCopy && Needed < fLineBufCapacity / 4)) {
        // Not zero-filled: every unit is written below.
        fLineBufCapacity = std::max<size_t>(Needed, 256);
        fLineBuf.reset(new char16_t[fLineBufCapacity]);
    }
    char16_t *Dst = fLineBuf.get();
    if (fCaseSensitive) {
        if (Len > 0) std::memcpy(Dst, Src, size_t(Len) * sizeof(char16_t));
        fCasedLineStr = Value;
        fCasedLine = Dst;
    } else {
        // Lowered per code unit so that every position stays where it is in the original.
        int i = LowerAsciiBlocks(Src, Dst, Len);
        for (; i < Len; ++i) {
            const char16_t c = Src[i];
            if (c < 128) {
                Dst[i] = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
            } else {
                const char32_t l = QChar::toLower(char32_t(c));
                Dst[i] = l <= 0xFFFF ? char16_t(l) : c;
            }
            // Back to the blocks once the units are aligned with them again.
            if ((i & 7) == 7) i = LowerAsciiBlocks(Src, Dst, Len, i + 1) - 1;
        }
        fCasedLineStr = Value;
        fCasedLine = reinterpret_cast<const char16_t *>(fCasedLineStr.utf16());
    }
    Dst[Len] = 0;
    fLine = Dst;
    fLineLen = Len;
    Run = 0;
    ExpandedRun = 0;
    fOldRun = 0;
    fLineNumber = LineNumber;
}

int TLexCustomHighlighter::ExpandedCellsEnd(int AExpandedPos, int APos) const {
    // The display form is the line with fillers put directly before wide glyphs. A character
    // of the line that is itself U+E000 takes one cell and has no fillers before it (the code
    // is never measured wide); before any other character every U+E000 is a filler.
    const bool Genuine = APos < fLineLen && fCasedLine != nullptr && fCasedLine[APos] == FillerChar.unicode();
    if (!Genuine)
        while (AExpandedPos < fExpandedLineLen && fExpandedLine[AExpandedPos] == FillerChar.unicode())
            ++AExpandedPos;
    return AExpandedPos + 1;
}

void TLexCustomHighlighter::KeepExpandedRun() {
    // Keep the display position in step with the characters consumed.
    for (int Pos = fOldRun; Pos < Run; ++Pos)
        ExpandedRun = ExpandedCellsEnd(ExpandedRun, Pos);
    fOldRun = Run;
}

void TLexCustomHighlighter::NextToEol() {
    while (!GetEol())
        Next();
    ReleaseLargeLineCopy();
}

int TLexCustomHighlighter::NextTokens(TLexTokenSpan *ATokens, int AMax) {
    return ReadTokens(*this, ATokens, AMax);
}

void TLexCustomHighlighter::ReleaseLargeLineCopy() {
    // The line is scanned: a copy of a very long line is not kept until the next line comes.
    // The scanned text then reads from the line itself (NUL-terminated as well), which differs
    // at most in the case of its letters; nothing is read from it after the end.
    if (fLineBufCapacity > LargeLineCopy) {
        fLine = reinterpret_cast<const char16_t *>(fCasedLineStr.utf16());
        fCasedLine = fLine;
        fLineBuf.reset();
        fLineBufCapacity = 0;
    }
}

QString TLexCustomHighlighter::GetToken() const {
    const int End = std::min(Run, fLineLen);
    if (End <= fTokenPos) return QString();
    return QString(reinterpret_cast<const QChar *>(fCasedLine + fTokenPos), End - fTokenPos);
}

QString TLexCustomHighlighter::GetExpandedToken() const {
    if (!fExpandedLine) return GetToken();
    const int End = std::min(ExpandedRun, fExpandedLineLen);
    if (End <= fExpandedTokenPos) return QString();
    return QString(reinterpret_cast<const QChar *>(fExpandedLine + fExpandedTokenPos),
                   End - fExpandedTokenPos);
}

int TLexCustomHighlighter::GetExpandedTokenPos() const {
    return fExpandedLine ? fExpandedTokenPos : fTokenPos;
}

int TLexCustomHighlighter::PosToExpandedPos(int Pos) const {
    if (!fExpandedLine) return Pos;
    int Result = 0;
    for (int i = 0; i < Pos; ++i)
        Result = ExpandedCellsEnd(Result, i);
    return Result;
}

bool TLexCustomHighlighter::IsCurrentToken(QStringView Token) const {
    if (Token.size() != fStringLen) return false;
    for (int i = 0; i < fStringLen; ++i)
        if (Token[i].unicode() != fToIdent[i]) return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Character classes

bool TLexCustomHighlighter::IsWordBreakChar(QChar AChar) const {
    const char16_t c = AChar.unicode();
    if (c > 255) return false;
    bool Base = c <= 32 || (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 ||
                (c >= 123 && c <= 126) || c == 167 || c == 176 || c == 180;
    return (Base || FAdditionalWordBreakChars.Contains(c)) && !FAdditionalIdentChars.Contains(c);
}

bool TLexCustomHighlighter::IsIdentChar(QChar AChar) const {
    const char16_t c = AChar.unicode();
    const bool Candidate = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                           c == u'_' || FAdditionalIdentChars.Contains(c);
    return Candidate && !IsWordBreakChar(AChar);
}

bool TLexCustomHighlighter::IsWhiteChar(QChar AChar) const {
    if (AChar.unicode() <= 32) return true;
    return !IsIdentChar(AChar) && !IsWordBreakChar(AChar);
}

} // namespace lexedit
