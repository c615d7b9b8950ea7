// SPDX-License-Identifier: MIT
// The regular-expression search engine.

#include "lexedit/LexEditRegexSearch.h"

#define PCRE2_CODE_UNIT_WIDTH 0
#include <pcre2.h>

#include "lexedit/LexEditTextBuffer.h"

#include <QChar>

#include <algorithm>
#include <cstring>

namespace lexedit {

namespace {

// The two PCRE2 libraries behind one interface: 16-bit code units for QString text, 8-bit ones for
// Latin-1 bytes.
struct TWide {
    using Code = pcre2_code_16;
    using Data = pcre2_match_data_16;
    using Context = pcre2_match_context_16;
    using Unit = char16_t;
    static int Match(const Code *C, const Unit *S, size_t N, size_t Start, uint32_t Options, Data *D,
                     Context *X) {
        return pcre2_match_16(C, reinterpret_cast<PCRE2_SPTR16>(S), N, Start, Options, D, X);
    }
    static const size_t *Ovector(Data *D) { return pcre2_get_ovector_pointer_16(D); }
    static void SetLimit(Context *X, uint32_t Limit) { pcre2_set_match_limit_16(X, Limit); }
    // The length of the character at S[i] (the text is valid UTF-16 here).
    static size_t Step(const Unit *S, size_t N, size_t i) {
        return i + 1 < N && QChar::isHighSurrogate(S[i]) && QChar::isLowSurrogate(S[i + 1]) ? 2 : 1;
    }
};

struct TNarrow {
    using Code = pcre2_code_8;
    using Data = pcre2_match_data_8;
    using Context = pcre2_match_context_8;
    using Unit = char;
    static int Match(const Code *C, const Unit *S, size_t N, size_t Start, uint32_t Options, Data *D,
                     Context *X) {
        return pcre2_match_8(C, reinterpret_cast<PCRE2_SPTR8>(S), N, Start, Options, D, X);
    }
    static const size_t *Ovector(Data *D) { return pcre2_get_ovector_pointer_8(D); }
    static void SetLimit(Context *X, uint32_t Limit) { pcre2_set_match_limit_8(X, Limit); }
    static size_t Step(const Unit *, size_t, size_t) { return 1; }
};

QString ErrorText(int ACode) {
    PCRE2_UCHAR16 Buffer[256];
    const int n = pcre2_get_error_message_16(ACode, Buffer, 256);
    return n > 0 ? QString::fromUtf16(reinterpret_cast<const char16_t *>(Buffer), n) : QString::number(ACode);
}

bool IsLimitError(int ACode) {
    return ACode == PCRE2_ERROR_MATCHLIMIT || ACode == PCRE2_ERROR_DEPTHLIMIT ||
           ACode == PCRE2_ERROR_HEAPLIMIT || ACode == PCRE2_ERROR_JIT_STACKLIMIT;
}

[[noreturn]] void ThrowTooComplex() {
    throw ELexSearchError(QStringLiteral("pattern too complex"));
}

// One engine call, first under the cheap limit; one that needs more is charged MatchLimit to
// ABudget and run again under the full limit. Returns PCRE2's answer, a match or no match.
template <typename W>
int Attempt(const typename W::Code *C, typename W::Data *D, typename W::Context *X, const typename W::Unit *S,
            size_t N, size_t Start, uint32_t Options, long long &ABudget) {
    int rc = W::Match(C, S, N, Start, Options, D, X);
    if (IsLimitError(rc)) {
        ABudget -= TLexEditRegexSearch::MatchLimit;
        if (ABudget < 0) ThrowTooComplex();
        W::SetLimit(X, TLexEditRegexSearch::MatchLimit);
        rc = W::Match(C, S, N, Start, Options, D, X);
        W::SetLimit(X, TLexEditRegexSearch::CheapLimit);
        if (IsLimitError(rc)) ThrowTooComplex();
    }
    if (rc < 0 && rc != PCRE2_ERROR_NOMATCH)
        throw ELexSearchError(QStringLiteral("Regular expression failed: %1").arg(ErrorText(rc)));
    return rc;
}

// Every match of code C in the N units at S, Perl's way: after an empty match the next is tried
// at the same place only when not empty, then from the next character on. Appends Groups + 1
// offset pairs a match to AOffsets and returns the number of matches.
template <typename W>
int MatchAll(const typename W::Code *C, typename W::Data *D, typename W::Context *X,
             const typename W::Unit *S, size_t N, int AGroups, long long &ABudget,
             std::vector<int> &AOffsets) {
    int Count = 0;
    size_t Start = 0;
    uint32_t Options = PCRE2_NO_UTF_CHECK;
    const size_t Pairs = size_t(AGroups) + 1;
    for (;;) {
        const int rc = Attempt<W>(C, D, X, S, N, Start, Options, ABudget);
        if (rc == PCRE2_ERROR_NOMATCH) {
            // Nothing more from here; after an empty match, try again one character on.
            if ((Options & PCRE2_NOTEMPTY_ATSTART) == 0 || Start >= N) break;
            Start += W::Step(S, N, Start);
            Options = PCRE2_NO_UTF_CHECK;
            continue;
        }
        const size_t *O = W::Ovector(D);
        const size_t MatchStart = O[0];
        // \K in a lookahead can end a match before its start: it counts as empty.
        const size_t MatchEnd = std::max(O[0], O[1]);
        for (size_t g = 0; g < Pairs; ++g) {
            const bool Set = g < size_t(rc) && O[2 * g] != PCRE2_UNSET;
            AOffsets.push_back(Set ? int(O[2 * g]) : -1);
            AOffsets.push_back(Set ? int(std::max(O[2 * g], O[2 * g + 1])) : -1);
        }
        ++Count;
        Start = MatchEnd;
        Options = PCRE2_NO_UTF_CHECK;
        if (MatchEnd == MatchStart) {
            if (MatchEnd >= N) break;
            Options |= PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED;
        }
    }
    return Count;
}

// The pattern for whole words: the user's pattern between two word-boundary lookarounds. The
// pattern's own leading option items ((*UCP), (*LIMIT_MATCH=n) ...) stay in front, and its end
// is closed off: \E ends a \Q quote left open, and the comment group ends nothing but itself, or,
// when the pattern ends inside a (?x) comment (where the group would be part of it), a line break
// ends that comment. ATail picks the second form.
QString WholeWordPattern(const QString &APattern, bool ACommentTail) {
    qsizetype Lead = 0;
    while (APattern.mid(Lead).startsWith(QLatin1String("(*"))) {
        const qsizetype Close = APattern.indexOf(u')', Lead);
        if (Close < 0) break;
        const QString Item = APattern.mid(Lead + 2, Close - Lead - 2);
        if (Item.isEmpty() || !std::all_of(Item.begin(), Item.end(), [](QChar c) {
                return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'=';
            }))
            break;
        Lead = Close + 1;
    }
    return APattern.left(Lead) + QStringLiteral("(?<!\\w)(?:") + APattern.mid(Lead) +
           (ACommentTail ? QStringLiteral("\\E\n)(?!\\w)") : QStringLiteral("\\E(?#\n))(?!\\w)"));
}

// Appends the groups of the match in D (rc from the engine), shifted by -ABase.
void AppendGroups(const size_t *O, int rc, int AGroups, size_t ABase, std::vector<int> &AOffsets) {
    for (size_t g = 0; g <= size_t(AGroups); ++g) {
        const bool Set = g < size_t(rc) && O[2 * g] != PCRE2_UNSET;
        AOffsets.push_back(Set ? int(O[2 * g] - ABase) : -1);
        AOffsets.push_back(Set ? int(std::max(O[2 * g], O[2 * g + 1]) - ABase) : -1);
    }
}

// Whether matching the pattern over many lines joined by line breaks (multi-line mode, any of
// CR, LF and CR LF a line break) finds a match that starts in a line wherever the line searched
// alone has one, and the same match where it does not reach past the line's end. Told from the
// pattern's text, erring on the side of no: a line break must look like the end of a line to
// everything that does not consume it, and every way through the pattern must be tried.
bool BlockSafe(const QString &APattern) {
    static const char *const Unsafe[] = {"(?=", "(?!", "(?<=", "(?<!", "(?>", "(?(", "(*", "\\A",
                                         "\\Z", "\\z", "\\G",  "*+",   "++",  "?+",  "}+"};
    for (const char *U : Unsafe)
        if (APattern.contains(QLatin1String(U))) return false;
    // Option settings that change or reset multi-line mode.
    for (qsizetype i = APattern.indexOf(QLatin1String("(?")); i >= 0;
         i = APattern.indexOf(QLatin1String("(?"), i + 2)) {
        for (qsizetype k = i + 2; k < APattern.size(); ++k) {
            const QChar c = APattern.at(k);
            if (c == u'm' || c == u'^') return false;
            if (!(c.isLetter() || c == u'-')) break;
        }
    }
    return true;
}

enum class TCaseMode { None, Upper, Lower };

// Appends S to AResult, changing case by the mode, and the first character by the one-shot
// operator. Case changes go through the string functions, which map a character to several
// where Unicode says so (U+0130 lower-cases to i and a combining dot).
void AppendCased(QString &AResult, const QString &S, TCaseMode AMode, TCaseMode &AOneShot) {
    if (S.isEmpty()) return;
    qsizetype From = 0;
    if (AOneShot != TCaseMode::None) {
        From = S.size() > 1 && S.at(0).isHighSurrogate() && S.at(1).isLowSurrogate() ? 2 : 1;
        const QString First = S.left(From);
        AResult += AOneShot == TCaseMode::Upper ? First.toUpper() : First.toLower();
        AOneShot = TCaseMode::None;
    }
    const QStringView Rest = QStringView(S).mid(From);
    if (AMode == TCaseMode::Upper)
        AResult += Rest.toString().toUpper();
    else if (AMode == TCaseMode::Lower)
        AResult += Rest.toString().toLower();
    else
        AResult += Rest;
}

// Expands a replacement expression for one match whose groups AGroup(n) hands out.
template <typename F> QString ExpandWith(const QString &AExpression, F AGroup) {
    // Plain text (the common case) is its own expansion.
    if (!AExpression.contains(u'\\') && !AExpression.contains(u'$')) return AExpression;
    QString Result;
    TCaseMode Mode = TCaseMode::None;
    TCaseMode OneShot = TCaseMode::None;
    const qsizetype N = AExpression.size();
    for (qsizetype i = 0; i < N; ++i) {
        const QChar C = AExpression.at(i);
        const QChar Next = i + 1 < N ? AExpression.at(i + 1) : QChar();
        if ((C == u'\\' || C == u'$') && Next.unicode() >= u'0' && Next.unicode() <= u'9') {
            AppendCased(Result, AGroup(Next.unicode() - u'0'), Mode, OneShot);
            ++i;
        } else if (C == u'$' && Next == u'$') {
            AppendCased(Result, QStringLiteral("$"), Mode, OneShot);
            ++i;
        } else if (C == u'\\' && i + 1 < N) {
            ++i;
            switch (Next.unicode()) {
            case u'U':
                Mode = TCaseMode::Upper;
                break;
            case u'L':
                Mode = TCaseMode::Lower;
                break;
            case u'E':
                Mode = TCaseMode::None;
                OneShot = TCaseMode::None;
                break;
            case u'u':
                OneShot = TCaseMode::Upper;
                break;
            case u'l':
                OneShot = TCaseMode::Lower;
                break;
            case u'n':
                Result.append(QChar(u'\n'));
                break;
            case u't':
                Result.append(QChar(u'\t'));
                break;
            case u'\\':
                AppendCased(Result, QStringLiteral("\\"), Mode, OneShot);
                break;
            default:
                AppendCased(Result, QString(C) + Next, Mode, OneShot);
                break;
            }
        } else {
            AppendCased(Result, QString(C), Mode, OneShot);
        }
    }
    return Result;
}

// The text with every lone surrogate replaced by U+FFFD (the same length), or a null string
// when it has none.
QString WithoutLoneSurrogates(const QString &AText) {
    const char16_t *P = reinterpret_cast<const char16_t *>(AText.utf16());
    const qsizetype N = AText.size();
    QString Result;
    for (qsizetype i = 0; i < N; ++i) {
        if ((P[i] & 0xF800u) != 0xD800u) continue;
        if (QChar::isHighSurrogate(P[i]) && i + 1 < N && QChar::isLowSurrogate(P[i + 1])) {
            ++i;
            continue;
        }
        if (Result.isNull()) Result = AText;
        Result[i] = QChar(QChar::ReplacementCharacter);
    }
    return Result;
}

} // namespace

struct TLexEditRegexSearch::TImpl {
    pcre2_code_16 *Code16 = nullptr;
    pcre2_match_data_16 *Data16 = nullptr;
    pcre2_match_context_16 *Context16 = nullptr;
    pcre2_jit_stack_16 *Stack16 = nullptr;
    // For Latin-1 bytes; none when the pattern cannot be written in Latin-1 or needs Unicode
    // text (such text is converted and matched by the 16-bit code).
    pcre2_code_8 *Code8 = nullptr;
    pcre2_match_data_8 *Data8 = nullptr;
    pcre2_match_context_8 *Context8 = nullptr;
    pcre2_jit_stack_8 *Stack8 = nullptr;
    // The same for many Latin-1 lines at once (multi-line mode, any line break); none when the
    // pattern is not safe for that.
    pcre2_code_8 *Block8 = nullptr;

    TImpl() = default;
    TImpl(const TImpl &) = delete;
    TImpl &operator=(const TImpl &) = delete;
    ~TImpl() { Clear(); }
    void Clear() {
        pcre2_jit_stack_free_16(Stack16);
        pcre2_match_context_free_16(Context16);
        pcre2_match_data_free_16(Data16);
        pcre2_code_free_16(Code16);
        pcre2_jit_stack_free_8(Stack8);
        pcre2_match_context_free_8(Context8);
        pcre2_match_data_free_8(Data8);
        pcre2_code_free_8(Code8);
        pcre2_code_free_8(Block8);
        Code16 = nullptr;
        Data16 = nullptr;
        Context16 = nullptr;
        Stack16 = nullptr;
        Code8 = nullptr;
        Data8 = nullptr;
        Context8 = nullptr;
        Stack8 = nullptr;
        Block8 = nullptr;
    }
};

TLexEditRegexSearch::TLexEditRegexSearch() : fImpl(std::make_unique<TImpl>()) {}

TLexEditRegexSearch::~TLexEditRegexSearch() = default;

void TLexEditRegexSearch::Invalidate() {
    fImpl->Clear();
}

void TLexEditRegexSearch::SetPattern(const QString &Value) {
    if (Value != fPattern) Invalidate();
    fPattern = Value;
    fBudgetLeft = SearchBudget;
}

void TLexEditRegexSearch::SetOptions(TLexSearchOptions Value) {
    if (Value.Contains(ssoMatchCase) != fOptions.Contains(ssoMatchCase) ||
        Value.Contains(ssoWholeWord) != fOptions.Contains(ssoWholeWord))
        Invalidate();
    fOptions = Value;
    fBudgetLeft = SearchBudget;
}

int TLexEditRegexSearch::GetLength(int Index) const {
    if (Index < 0 || Index >= fCount) return 0;
    const size_t At = size_t(Index) * size_t(fGroups + 1) * 2;
    return fOffsets[At + 1] - fOffsets[At];
}

int TLexEditRegexSearch::GetResult(int Index) const {
    if (Index < 0 || Index >= fCount) return 0;
    return fOffsets[size_t(Index) * size_t(fGroups + 1) * 2] + 1;
}

void TLexEditRegexSearch::Compile() {
    if (fImpl->Code16 != nullptr) return;
    TImpl &I = *fImpl;
    const bool Caseless = !fOptions.Contains(ssoMatchCase);
    const uint32_t Options = PCRE2_UTF | PCRE2_UCP | (Caseless ? PCRE2_CASELESS : 0);
    const auto Compile16 = [&](const QString &APattern, int &AError, PCRE2_SIZE &AOffset) {
        return pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(APattern.utf16()), size_t(APattern.size()),
                                Options, &AError, &AOffset, nullptr);
    };
    int Error = 0;
    PCRE2_SIZE Offset = 0;
    // The user's pattern on its own first, so that an error's offset refers to the user's text.
    I.Code16 = Compile16(fPattern, Error, Offset);
    if (I.Code16 == nullptr)
        throw ELexSearchError(
            QStringLiteral("Invalid regular expression: %1 at offset %2").arg(ErrorText(Error)).arg(Offset));
    QString Source = fPattern;
    if (fOptions.Contains(ssoWholeWord)) {
        pcre2_code_free_16(I.Code16);
        Source = WholeWordPattern(fPattern, false);
        I.Code16 = Compile16(Source, Error, Offset);
        if (I.Code16 == nullptr) {
            Source = WholeWordPattern(fPattern, true);
            I.Code16 = Compile16(Source, Error, Offset);
        }
        if (I.Code16 == nullptr)
            throw ELexSearchError(QStringLiteral("Invalid regular expression: %1").arg(ErrorText(Error)));
    }
    uint32_t Captures = 0;
    pcre2_pattern_info_16(I.Code16, PCRE2_INFO_CAPTURECOUNT, &Captures);
    fGroups = int(Captures);
    pcre2_jit_compile_16(I.Code16, PCRE2_JIT_COMPLETE); // without the JIT it is interpreted
    I.Data16 = pcre2_match_data_create_from_pattern_16(I.Code16, nullptr);
    I.Context16 = pcre2_match_context_create_16(nullptr);
    I.Stack16 = pcre2_jit_stack_create_16(32 * 1024, 4 * 1024 * 1024, nullptr);
    pcre2_jit_stack_assign_16(I.Context16, nullptr, I.Stack16);
    pcre2_set_match_limit_16(I.Context16, CheapLimit);

    // The same source for Latin-1 bytes, when every character of it is one. PCRE2 gives Latin-1
    // text Unicode's rules there too (classes, case), so the results agree with the 16-bit code.
    if (std::all_of(Source.begin(), Source.end(), [](QChar c) { return c.unicode() <= 0xFF; })) {
        const QByteArray Bytes = Source.toLatin1();
        I.Code8 = pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(Bytes.constData()), size_t(Bytes.size()),
                                  PCRE2_UCP | PCRE2_NEVER_UTF | (Caseless ? PCRE2_CASELESS : 0), &Error,
                                  &Offset, nullptr);
        uint32_t Captures8 = 0;
        if (I.Code8 != nullptr) pcre2_pattern_info_8(I.Code8, PCRE2_INFO_CAPTURECOUNT, &Captures8);
        if (I.Code8 != nullptr && Captures8 == Captures) {
            pcre2_jit_compile_8(I.Code8, PCRE2_JIT_COMPLETE);
            I.Data8 = pcre2_match_data_create_from_pattern_8(I.Code8, nullptr);
            I.Context8 = pcre2_match_context_create_8(nullptr);
            I.Stack8 = pcre2_jit_stack_create_8(32 * 1024, 4 * 1024 * 1024, nullptr);
            pcre2_jit_stack_assign_8(I.Context8, nullptr, I.Stack8);
            pcre2_set_match_limit_8(I.Context8, CheapLimit);
            if (BlockSafe(fPattern)) {
                pcre2_compile_context_8 *Compile = pcre2_compile_context_create_8(nullptr);
                pcre2_set_newline_8(Compile, PCRE2_NEWLINE_ANYCRLF);
                I.Block8 =
                    pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(Bytes.constData()), size_t(Bytes.size()),
                                    PCRE2_UCP | PCRE2_NEVER_UTF | PCRE2_MULTILINE | PCRE2_ALT_CIRCUMFLEX |
                                        (Caseless ? PCRE2_CASELESS : 0),
                                    &Error, &Offset, Compile);
                pcre2_compile_context_free_8(Compile);
                if (I.Block8 != nullptr) pcre2_jit_compile_8(I.Block8, PCRE2_JIT_COMPLETE);
            }
        } else {
            pcre2_code_free_8(I.Code8);
            I.Code8 = nullptr;
        }
    }
}

int TLexEditRegexSearch::FindAll(const QString &NewText) {
    fCount = 0;
    fOffsets.clear();
    fText = NewText;
    fTextIsBytes = false;
    if (fPattern.isEmpty()) return 0;
    Compile();
    if (fBudgetLeft < 0) ThrowTooComplex();
    const QString Valid = WithoutLoneSurrogates(NewText);
    const QString &Subject = Valid.isNull() ? NewText : Valid;
    TImpl &I = *fImpl;
    try {
        fCount = MatchAll<TWide>(I.Code16, I.Data16, I.Context16,
                                 reinterpret_cast<const char16_t *>(Subject.utf16()), size_t(Subject.size()),
                                 fGroups, fBudgetLeft, fOffsets);
    } catch (...) {
        fOffsets.clear();
        fCount = 0;
        throw;
    }
    return fCount;
}

int TLexEditRegexSearch::FindAllLatin1(QLatin1String NewText) {
    if (fPattern.isEmpty()) return FindAll(QString());
    Compile();
    TImpl &I = *fImpl;
    if (I.Code8 == nullptr) return FindAll(QString(NewText));
    fCount = 0;
    fOffsets.clear();
    if (fBudgetLeft < 0) ThrowTooComplex();
    try {
        fCount = MatchAll<TNarrow>(I.Code8, I.Data8, I.Context8, NewText.data(), size_t(NewText.size()),
                                   fGroups, fBudgetLeft, fOffsets);
    } catch (...) {
        fOffsets.clear();
        fCount = 0;
        throw;
    }
    // The groups are read from a copy: the caller's bytes may change before a replacement.
    fTextIsBytes = true;
    fText.clear();
    if (fCount > 0)
        fBytes = QByteArray(NewText.data(), NewText.size());
    else
        fBytes.clear();
    fView = QLatin1String(fBytes.constData(), fBytes.size());
    return fCount;
}

int TLexEditRegexSearch::GatherLatin1(const TLexEditStringList &ALines, int AFirst, int ALast,
                                      QLatin1String &ARun) {
    // Lines held as Latin-1 bytes that do not lie in one block are copied into one, joined by LF,
    // a stretch of them at a time (a line holding a line break character of its own ends it).
    constexpr qsizetype Stretch = 256 * 1024;
    fScratch.resize(0);
    QLatin1String View;
    int Lines = 0;
    for (int i = AFirst; i <= ALast && fScratch.size() < Stretch && ALines.GetLatin1(i, View); ++i) {
        if (std::memchr(View.data(), '\n', size_t(View.size())) != nullptr ||
            std::memchr(View.data(), '\r', size_t(View.size())) != nullptr)
            break;
        if (Lines > 0) fScratch += '\n';
        fScratch.append(View.data(), View.size());
        ++Lines;
    }
    ARun = QLatin1String(fScratch.constData(), fScratch.size());
    return Lines;
}

long long TLexEditRegexSearch::FindAllLines(const TLexEditStringList &ALines, int AFirst, int ALast,
                                            const std::function<bool(int, int)> &AFound) {
    if (fPattern.isEmpty()) return 0;
    Compile();
    TImpl &I = *fImpl;
    if (I.Block8 == nullptr) return TLexEditSearchCustom::FindAllLines(ALines, AFirst, ALast, AFound);
    ALast = std::min(ALast, ALines.Count() - 1);
    long long Total = 0;
    bool Stopped = false;
    // Reports the results of line ALine (its bytes AView) when it has any.
    const auto Report = [&](int ALine, QLatin1String AView) {
        if (fCount == 0) return;
        fTextIsBytes = true;
        fView = AView;
        Total += fCount;
        if (!AFound(ALine, fCount)) Stopped = true;
    };
    const auto Clear = [&] {
        fCount = 0;
        fOffsets.clear();
    };
    QLatin1String View;
    int Line = std::max(AFirst, 0);
    try {
        while (Line <= ALast && !Stopped) {
            QLatin1String Run;
            int RunLines = ALines.GetLatin1Run(Line, Run);
            if (RunLines < 2) RunLines = GatherLatin1(ALines, Line, ALast, Run);
            if (RunLines < 2) {
                // A line on its own.
                const int n = ALines.GetLatin1(Line, View) ? FindAllLatin1(View) : FindAll(ALines.Get(Line));
                if (n > 0) {
                    Total += n;
                    if (!AFound(Line, n)) Stopped = true;
                }
                ++Line;
                continue;
            }
            const char *B = Run.data();
            const int RunLast = std::min(Line + RunLines - 1, ALast);
            // The current line: its bytes are [LStart, LEnd) of the run.
            ALines.GetLatin1(Line, View);
            size_t LStart = 0;
            size_t LEnd = size_t(View.size());
            const auto NextLine = [&] {
                size_t Next = LEnd;
                if (B[Next] == '\r' && B[Next + 1] == '\n')
                    Next += 2;
                else
                    ++Next;
                ++Line;
                ALines.GetLatin1(Line, View);
                LStart = Next;
                LEnd = Next + size_t(View.size());
            };
            // The run ends with the last line to search.
            size_t N = size_t(Run.size());
            if (RunLast < Line + RunLines - 1) {
                const int Keep = Line;
                const size_t KeepStart = LStart, KeepEnd = LEnd;
                while (Line < RunLast)
                    NextLine();
                N = LEnd;
                Line = Keep;
                ALines.GetLatin1(Line, View);
                LStart = KeepStart;
                LEnd = KeepEnd;
            }
            Clear();
            size_t Pos = 0;
            uint32_t Options = PCRE2_NO_UTF_CHECK;
            for (;;) {
                const int rc = pcre2_match_8(I.Block8, reinterpret_cast<PCRE2_SPTR8>(B), N, Pos, Options,
                                             I.Data8, I.Context8);
                if (IsLimitError(rc)) {
                    // An expensive start position: the rest of the run goes line by line, where
                    // the search's budget is charged for each line that needs it.
                    for (;;) {
                        Clear();
                        const QLatin1String Own(B + LStart, qsizetype(LEnd - LStart));
                        fCount = MatchAll<TNarrow>(I.Code8, I.Data8, I.Context8, Own.data(),
                                                   size_t(Own.size()), fGroups, fBudgetLeft, fOffsets);
                        Report(Line, Own);
                        if (Line >= RunLast || Stopped) break;
                        NextLine();
                    }
                    break;
                }
                if (rc < 0 && rc != PCRE2_ERROR_NOMATCH)
                    throw ELexSearchError(QStringLiteral("Regular expression failed: %1").arg(ErrorText(rc)));
                if (rc == PCRE2_ERROR_NOMATCH) {
                    if ((Options & PCRE2_NOTEMPTY_ATSTART) != 0) {
                        // After an empty match inside the line: one character on.
                        ++Pos;
                        Options = PCRE2_NO_UTF_CHECK;
                        continue;
                    }
                    Report(Line, QLatin1String(B + LStart, qsizetype(LEnd - LStart)));
                    break;
                }
                const size_t *O = pcre2_get_ovector_pointer_8(I.Data8);
                const size_t Start = O[0];
                const size_t End = std::max(O[0], O[1]);
                // The lines before the one the match starts in are complete.
                while (Start > LEnd && Line < RunLast) {
                    Report(Line, QLatin1String(B + LStart, qsizetype(LEnd - LStart)));
                    if (Stopped) break;
                    Clear();
                    NextLine();
                }
                if (Stopped) break;
                if (Start < LStart || End > LEnd) {
                    // The match reaches past the line's end (or starts in a line break): the
                    // line is searched on its own, and the run goes on after it.
                    Clear();
                    const QLatin1String Own(B + LStart, qsizetype(LEnd - LStart));
                    fCount = MatchAll<TNarrow>(I.Code8, I.Data8, I.Context8, Own.data(), size_t(Own.size()),
                                               fGroups, fBudgetLeft, fOffsets);
                    Report(Line, Own);
                    if (Line >= RunLast || Stopped) break;
                    Clear();
                    NextLine();
                    Pos = LStart;
                    Options = PCRE2_NO_UTF_CHECK;
                    continue;
                }
                AppendGroups(O, rc, fGroups, LStart, fOffsets);
                ++fCount;
                Pos = End;
                Options = PCRE2_NO_UTF_CHECK;
                if (End == Start) {
                    if (End < LEnd) {
                        Options |= PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED;
                    } else {
                        // An empty match at the line's end ends the line's search.
                        Report(Line, QLatin1String(B + LStart, qsizetype(LEnd - LStart)));
                        if (Line >= RunLast || Stopped) break;
                        Clear();
                        NextLine();
                        Pos = LStart;
                    }
                }
            }
            Line = RunLast + 1;
        }
    } catch (...) {
        Clear();
        throw;
    }
    // The results of the last line reported stay readable after the buffer changes.
    if (fCount > 0 && fTextIsBytes) {
        fBytes = QByteArray(fView.data(), fView.size());
        fView = QLatin1String(fBytes.constData(), fBytes.size());
    }
    return Total;
}

QString TLexEditRegexSearch::Group(int AMatch, int AGroup) const {
    if (AMatch < 0 || AMatch >= fCount || AGroup < 0 || AGroup > fGroups) return QString();
    const size_t At = (size_t(AMatch) * size_t(fGroups + 1) + size_t(AGroup)) * 2;
    const int Start = fOffsets[At];
    const int End = fOffsets[At + 1];
    if (Start < 0) return QString();
    if (fTextIsBytes) return QString::fromLatin1(fView.data() + Start, End - Start);
    return fText.mid(Start, End - Start);
}

QString TLexEditRegexSearch::Expand(const QString &AExpression, int AMatch) const {
    return ExpandWith(AExpression, [&](int n) { return Group(AMatch, n); });
}

bool TLexEditRegexSearch::GroupEquals(int AMatch, int AGroup, QStringView AText) const {
    if (AMatch < 0 || AMatch >= fCount || AGroup < 0 || AGroup > fGroups) return false;
    const size_t At = (size_t(AMatch) * size_t(fGroups + 1) + size_t(AGroup)) * 2;
    const int Start = fOffsets[At];
    const int End = fOffsets[At + 1];
    if (Start < 0 || End - Start != AText.size()) return false;
    if (fTextIsBytes) return QLatin1String(fView.data() + Start, End - Start).compare(AText) == 0;
    return QStringView(fText).mid(Start, End - Start) == AText;
}

QString TLexEditRegexSearch::ReplaceMatch(int Index, QStringView aOccurrence, const QString &aReplacement) {
    if (GroupEquals(Index, 0, aOccurrence)) return Expand(aReplacement, Index);
    return Replace(aOccurrence.toString(), aReplacement);
}

QString TLexEditRegexSearch::Replace(const QString &aOccurrence, const QString &aReplacement) {
    for (int i = 0; i < fCount; ++i)
        if (Group(i, 0) == aOccurrence) return Expand(aReplacement, i);
    if (!fPattern.isEmpty()) {
        // The pattern matched against the occurrence alone, from its start to its end.
        Compile();
        TImpl &I = *fImpl;
        const QString Valid = WithoutLoneSurrogates(aOccurrence);
        const QString &Subject = Valid.isNull() ? aOccurrence : Valid;
        const int rc =
            pcre2_match_16(I.Code16, reinterpret_cast<PCRE2_SPTR16>(Subject.utf16()), size_t(Subject.size()),
                           0, PCRE2_NO_UTF_CHECK | PCRE2_ANCHORED | PCRE2_ENDANCHORED, I.Data16, I.Context16);
        if (rc > 0) {
            const size_t *O = pcre2_get_ovector_pointer_16(I.Data16);
            return ExpandWith(aReplacement, [&](int n) {
                if (n >= rc || O[2 * n] == PCRE2_UNSET) return QString();
                return aOccurrence.mid(qsizetype(O[2 * n]), qsizetype(O[2 * n + 1] - O[2 * n]));
            });
        }
    }
    // No match to take groups from: group 0 is the occurrence, the others are empty.
    return ExpandWith(aReplacement, [&](int n) { return n == 0 ? aOccurrence : QString(); });
}

} // namespace lexedit
