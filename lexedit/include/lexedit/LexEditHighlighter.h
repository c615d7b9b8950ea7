// SPDX-License-Identifier: MIT
#pragma once
// Token attributes and the base highlighter.
//
// A highlighter splits one line at a time into tokens, each with a kind and a display attribute,
// and reports the state the line ends in (its range) so that constructs spanning lines can be
// carried into the next line. A client drives it thus:
//
//   ResetRange() for the first line, else SetRange(range stored for the previous line);
//   SetLine(text, lineIndex);                  // scans the first token
//   while (!GetEol()) { GetTokenPos(), GetToken(), GetTokenKind(), GetTokenAttribute(); Next(); }
//   GetRange()                                 // the range at the end of the line, to be stored
//
// The scanned text is a copy of the line in a reusable buffer followed by one NUL; scanners stop at
// that NUL and never read past it. Case-insensitive highlighters scan a copy lowered per code unit,
// so every position in the copy is the same position in the original line.

#include "common/BracketGuard.h"
#include "common/Exception.h"
#include "lexedit/LexColor.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditTypes.h"
#include "lexedit/LexSet.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QSettings;

namespace lexedit {

class TLexEditHighlighterOptions;
class TLexIniFile;

// Indexes of the standard attributes (GetDefaultAttribute).
inline constexpr int LEX_ATTR_COMMENT = 0;
inline constexpr int LEX_ATTR_IDENTIFIER = 1;
inline constexpr int LEX_ATTR_KEYWORD = 2;
inline constexpr int LEX_ATTR_STRING = 3;
inline constexpr int LEX_ATTR_WHITESPACE = 4;
inline constexpr int LEX_ATTR_SYMBOL = 5;

enum TLexHighlighterCapability : uint8_t { hcUserSettings, hcRegistry };
using TLexHighlighterCapabilities = TSet<TLexHighlighterCapability, uint8_t>;

// TLexRange (the scanning state carried from the end of one line to the start of the next,
// compared only for equality) and NullRange come from the line buffer.

COMMON_DECLARE_EXCEPTION(EStringListError, common::Exception)
COMMON_DECLARE_EXCEPTION(EConvertError, common::Exception)
COMMON_DECLARE_EXCEPTION(ELexMethodChain, common::Exception)
COMMON_DECLARE_EXCEPTION(ELexIniFile, common::Exception)

// A notify event: called with the object that caused it (an attribute, a highlighter, or none).
using TNotifyEvent = std::function<void(QObject *Sender)>;

// An ordered list of listeners, each identified by its owner (AData) so that it can be removed.
// Firing walks the list by index and re-reads its length before every call, so a listener added
// during firing is called in the same firing; each listener runs from a copy, so it may remove
// itself (or others) safely.
class TLexMethodChain {
public:
    struct TLexMethod {
        const void *Data = nullptr;
        TNotifyEvent Code;
    };
    using TExceptionHandler =
        std::function<void(TLexMethodChain *Sender, const std::exception &E, bool &DoContinue)>;

    TLexMethodChain() = default;
    explicit TLexMethodChain(TExceptionHandler AExceptionHandler);
    virtual ~TLexMethodChain() = default;
    TLexMethodChain(const TLexMethodChain &) = delete;
    TLexMethodChain &operator=(const TLexMethodChain &) = delete;

    virtual const char *ClassName() const { return "TLexMethodChain"; }

    // Appends a listener; the same listener may be added twice and is then called twice.
    void Add(const void *AData, TNotifyEvent AEvent);
    // Removes every entry of the listener AData.
    void Remove(const void *AData);
    int Count() const { return int(FEntries.size()); }
    void Fire();

    const TExceptionHandler &ExceptionHandler() const { return FExceptionHandler; }
    void SetExceptionHandler(TExceptionHandler AHandler) { FExceptionHandler = std::move(AHandler); }

protected:
    virtual void DoFire(const TLexMethod &AEvent) = 0;
    // True: go on with the next listener. Without a handler the exception propagates.
    virtual bool DoHandleException(const std::exception &E);

private:
    std::vector<TLexMethod> FEntries;
    TExceptionHandler FExceptionHandler;
};

class TLexNotifyEventChain : public TLexMethodChain {
public:
    TLexNotifyEventChain() = default;
    explicit TLexNotifyEventChain(QObject *ASender) : FSender(ASender) {}
    static std::unique_ptr<TLexNotifyEventChain> CreateEx(QObject *ASender) {
        return std::make_unique<TLexNotifyEventChain>(ASender);
    }
    const char *ClassName() const override { return "TLexNotifyEventChain"; }
    QObject *Sender() const { return FSender; }
    void SetSender(QObject *ASender) { FSender = ASender; }

protected:
    void DoFire(const TLexMethod &AEvent) override;

private:
    QObject *FSender = nullptr; // not owned
};

// The display attribute of a kind of token: colours, font style and names.
class TLexHighlighterAttributes : public QObject {
public:
    TLexHighlighterAttributes(const QString &AName, const QString &AFriendlyName);
    ~TLexHighlighterAttributes() override = default;

    virtual const char *ClassName() const { return "TLexHighlighterAttributes"; }

    // From another attribute: the name, colours and style; from anything else an error.
    virtual void Assign(const QObject *Source);
    void AssignColorAndStyle(const TLexHighlighterAttributes &Source);

    TColor Background() const { return fBackground; }
    TColor Foreground() const { return fForeground; }
    TFontStyles Style() const { return fStyle; }
    TColor BackgroundDefault() const { return fBackgroundDefault; }
    TColor ForegroundDefault() const { return fForegroundDefault; }
    TFontStyles StyleDefault() const { return fStyleDefault; }
    void SetBackground(TColor Value);
    void SetForeground(TColor Value);
    void SetStyle(TFontStyles Value);
    void SetColors(TColor Foreground, TColor Background);

    const QString &Name() const { return fName; }
    const QString &FriendlyName() const { return fFriendlyName; }

    // The style as an integer: bit 0 bold, 1 italic, 2 underline, 3 strike-out.
    int IntegerStyle() const { return GetStyleFromInt(); }
    void SetIntegerStyle(int Value) { SetStyleFromInt(Value); }
    int GetStyleFromInt() const { return fStyle.ToMask() & 0x0F; }
    void SetStyleFromInt(int Value);

    // Whether a property differs from its value at the end of the highlighter's construction.
    bool GetBackgroundColorStored() const { return fBackground != fBackgroundDefault; }
    bool GetForegroundColorStored() const { return fForeground != fForegroundDefault; }
    bool GetFontStyleStored() const { return fStyle != fStyleDefault; }
    void InternalSaveDefaultValues();

    const TNotifyEvent &OnChange() const { return fOnChange; }
    void SetOnChange(TNotifyEvent AEvent) { fOnChange = std::move(AEvent); }

    // Key/value store: the group named after Name under the store's current group, with the
    // integers "Background", "Foreground" and "Style".
    bool LoadFromRegistry(QSettings &Reg);
    bool SaveToRegistry(QSettings &Reg);
    // INI file: the section named after Name with the same three integer keys.
    bool LoadFromFile(TLexIniFile &Ini);
    bool SaveToFile(TLexIniFile &Ini);
    // Import from another IDE's editor-colour store (see LexEditHighlighterPersist.cpp).
    virtual bool LoadFromIDERegistry(QSettings &RootKey, const QString &AttrKey, const QString &AttrName,
                                     bool OldStyle);

protected:
    virtual void Changed();

private:
    TColor fBackground = clNone;
    TColor fBackgroundDefault = clNone;
    TColor fForeground = clNone;
    TColor fForegroundDefault = clNone;
    QString fFriendlyName;
    QString fName;
    TFontStyles fStyle;
    TFontStyles fStyleDefault;
    TNotifyEvent fOnChange;
};

// The 16-colour palette used by the colour import.
inline constexpr TColor Pal16[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                     0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                     0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

// A colour given by name ("clRed", "clWindowText" ...) or as a number (decimal, "$" or "0x" hex).
bool IdentToLexColor(const QString &AText, TColor &AColor);

class TLexCustomHighlighter;

// One token of a scanned line as NextTokens gives it: the characters [Pos, End) of the line and
// the token's attribute (null for a token without one, such as a NUL of the text). A plain record
// without initial values, so that a batch of them costs nothing until NextTokens fills it.
struct TLexTokenSpan {
    int Pos;
    int End;
    TLexHighlighterAttributes *Attri;
};

// A highlighter class as the placeable-highlighter list knows it.
struct TLexHighlighterClass {
    const char *ClassName;
    QString (*GetLanguageName)();
    QString (*GetFriendlyLanguageName)();
    TLexHighlighterCapabilities (*GetCapabilities)();
    TLexCustomHighlighter *(*Create)(QObject *AOwner);
    bool (*IsInstance)(const TLexCustomHighlighter *AHighlighter);

    template <class T> static const TLexHighlighterClass *Of() {
        static const TLexHighlighterClass Class{
            T::StaticClassName(),
            [] { return T::GetLanguageName(); },
            [] { return T::GetFriendlyLanguageName(); },
            [] { return T::GetCapabilities(); },
            [](QObject *AOwner) -> TLexCustomHighlighter * { return new T(AOwner); },
            [](const TLexCustomHighlighter *AHighlighter) {
                return dynamic_cast<const T *>(AHighlighter) != nullptr;
            }};
        return &Class;
    }
};

class TLexHighlighterList {
public:
    int Count() const { return int(FItems.size()); }
    const TLexHighlighterClass *Items(int Index) const;
    int IndexOf(const TLexHighlighterClass *AClass) const;
    void Add(const TLexHighlighterClass *AClass);
    int FindByClass(const TLexCustomHighlighter *Comp) const;
    int FindByName(const QString &Name) const;
    int FindByFriendlyName(const QString &FriendlyName) const;

private:
    std::vector<const TLexHighlighterClass *> FItems;
};

// The process-wide list of placeable highlighters (created on first use).
TLexHighlighterList &G_PlaceableHighlighters();
// Appends the class unless it is already registered.
void RegisterPlaceableHighlighter(const TLexHighlighterClass *highlighter);
template <class T> void RegisterPlaceableHighlighter() {
    RegisterPlaceableHighlighter(TLexHighlighterClass::Of<T>());
}

// The base of every highlighter. Not copyable, not movable.
class TLexCustomHighlighter : public QObject {
public:
    explicit TLexCustomHighlighter(QObject *AOwner = nullptr);
    ~TLexCustomHighlighter() override;

    static const char *StaticClassName() { return "TLexCustomHighlighter"; }
    virtual const char *ClassName() const { return StaticClassName(); }

    // Class operations; every concrete class hides them with its own.
    static TLexHighlighterCapabilities GetCapabilities() { return {hcRegistry}; }
    static QString GetLanguageName();
    static QString GetFriendlyLanguageName();
    // Their instance-side readers.
    virtual TLexHighlighterCapabilities GetCapabilitiesProp() const { return GetCapabilities(); }
    virtual QString GetLanguageNameProp() const { return GetLanguageName(); }
    virtual QString GetFriendlyLanguageNameProp() const { return GetFriendlyLanguageName(); }
    TLexHighlighterCapabilities Capabilities() const { return GetCapabilitiesProp(); }
    QString LanguageName() const { return GetLanguageNameProp(); }
    QString FriendlyLanguageName() const { return GetFriendlyLanguageNameProp(); }

    // Attributes, in case-insensitive name order.
    virtual int GetAttribCount() const;
    virtual TLexHighlighterAttributes *GetAttribute(int Index) const;
    virtual TLexHighlighterAttributes *GetDefaultAttribute(int Index) const = 0;
    int AttrCount() const { return GetAttribCount(); }
    TLexHighlighterAttributes *Attribute(int Index) const { return GetAttribute(Index); }
    TLexHighlighterAttributes *CommentAttribute() const { return GetDefaultAttribute(LEX_ATTR_COMMENT); }
    TLexHighlighterAttributes *IdentifierAttribute() const {
        return GetDefaultAttribute(LEX_ATTR_IDENTIFIER);
    }
    TLexHighlighterAttributes *KeywordAttribute() const { return GetDefaultAttribute(LEX_ATTR_KEYWORD); }
    TLexHighlighterAttributes *StringAttribute() const { return GetDefaultAttribute(LEX_ATTR_STRING); }
    TLexHighlighterAttributes *WhitespaceAttribute() const {
        return GetDefaultAttribute(LEX_ATTR_WHITESPACE);
    }
    TLexHighlighterAttributes *SymbolAttribute() const { return GetDefaultAttribute(LEX_ATTR_SYMBOL); }

    // Change notification. Listeners are identified by AListener (e.g. the editor's address).
    void HookAttrChangeEvent(const void *AListener, TNotifyEvent ANotifyEvent);
    void UnhookAttrChangeEvent(const void *AListener);
    void BeginUpdate();
    void EndUpdate();
    void DefHighlightChange(QObject *Sender);

    // Holds BeginUpdate / EndUpdate for its lifetime.
    using TUpdateGuard = common::BracketGuard<TLexCustomHighlighter, &TLexCustomHighlighter::BeginUpdate,
                                              &TLexCustomHighlighter::EndUpdate>;

    // Streaming of the owner's stored layout: while loading, changes are not announced;
    // Loaded announces once.
    bool Loading() const { return fLoading; }
    void SetLoading(bool Value) { fLoading = Value; }
    virtual void Loaded();

    // From another highlighter: attributes of equal names, the filter, Enabled, and the sample
    // source when Source is of this class. From anything else an error.
    virtual void Assign(const QObject *Source);

    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool Value);

    virtual QString GetDefaultFilter() const { return fDefaultFilter; }
    virtual void SetDefaultFilter(const QString &Value) { fDefaultFilter = Value; }
    virtual bool IsFilterStored() const { return true; }
    QString DefaultFilter() const { return GetDefaultFilter(); }

    virtual QString GetSampleSource() const { return QString(); }
    virtual void SetSampleSource(const QString &Value) { Q_UNUSED(Value); }
    QString SampleSource() const { return GetSampleSource(); }

    QString GetExportName();
    QString ExportName() { return GetExportName(); }

    const TLexCharSet &AdditionalIdentChars() const { return FAdditionalIdentChars; }
    const TLexCharSet &AdditionalWordBreakChars() const { return FAdditionalWordBreakChars; }
    void SetAdditionalIdentChars(const TLexCharSet &Value) { FAdditionalIdentChars = Value; }
    void SetAdditionalWordBreakChars(const TLexCharSet &Value) { FAdditionalWordBreakChars = Value; }

    TLexEditHighlighterOptions &Options() { return *FOptions; }
    const TLexEditHighlighterOptions &Options() const { return *FOptions; }
    void SetOptions(const TLexEditHighlighterOptions &Value);

    // Scanning.
    virtual void SetLine(const QString &Value, int LineNumber);
    virtual void SetLineExpandedAtWideGlyphs(const QString &Line, const QString &ExpandedLine,
                                             int LineNumber);
    virtual bool GetEol() const = 0;
    virtual void Next() {
        // Inline: every highlighter's own Next ends here, once per token.
        if (fOldRun == Run) return;
        fExpandedTokenPos = ExpandedRun;
        if (fExpandedLine) KeepExpandedRun();
    }
    // Runs the tokenizer to the end of the line (a highlighter may run its own loop of Next).
    virtual void NextToEol();
    // The scanning loop in batches: reads up to AMax tokens from the current one on (position,
    // end and attribute, as GetTokenPos and GetTokenAttribute give them, the end being where the
    // next token starts, or the line's length after the last), stepping past each one; returns
    // how many were read, 0 at the end of the line. A highlighter may override it with ReadTokens
    // on itself, so that a long scan makes one virtual call per batch instead of several per
    // token.
    virtual int NextTokens(TLexTokenSpan *ATokens, int AMax);
    virtual QString GetToken() const;
    virtual int GetTokenPos() const { return fTokenPos; }
    virtual int GetTokenKind() const = 0;
    virtual TLexHighlighterAttributes *GetTokenAttribute() const = 0;
    virtual QString GetExpandedToken() const;
    virtual int GetExpandedTokenPos() const;
    virtual TLexRange GetRange() const { return 0; }
    virtual void SetRange(TLexRange Value) { Q_UNUSED(Value); }
    virtual void ResetRange() {}
    int PosToExpandedPos(int Pos) const;
    int LineNumber() const { return fLineNumber; }
    // The length of the scanned line.
    int LineLength() const { return fLineLen; }

    virtual QString GetKeyWords(int TokenKind) const;
    virtual bool IsKeyword(const QString &AKeyword) const;
    virtual bool UseUserSettings(int settingIndex);
    virtual void EnumUserSettings(QStringList &Settings);

    // Persistence of every attribute's colours and style.
    virtual bool LoadFromRegistry(QSettings &RootKey, const QString &Key);
    virtual bool SaveToRegistry(QSettings &RootKey, const QString &Key);
    bool LoadFromFile(const QString &AFileName);
    bool SaveToFile(const QString &AFileName);
    bool LoadFromIniFile(TLexIniFile &AIni);
    bool SaveToIniFile(TLexIniFile &AIni);

    // Character classes.
    virtual bool IsIdentChar(QChar AChar) const;
    virtual bool IsWhiteChar(QChar AChar) const;
    virtual bool IsWordBreakChar(QChar AChar) const;

protected:
    void AddAttribute(TLexHighlighterAttributes *Attri); // takes ownership
    void SetAttributesOnChange(TNotifyEvent AEvent);
    virtual void DoSetLine(const QString &Value, int LineNumber);
    virtual bool IsCurrentToken(QStringView Token) const;
    // The display position after the character at APos of the line, which starts at
    // AExpandedPos of the display form (its fillers included).
    int ExpandedCellsEnd(int AExpandedPos, int APos) const;
    virtual bool IsLineEnd(int ARun) const {
        return ARun >= fLineLen || fLine[ARun] == u'\n' || fLine[ARun] == u'\r';
    }
    // After a line is scanned to its end: a copy of a very long line is given back.
    void ReleaseLargeLineCopy();
    // Moves ExpandedRun past the characters consumed since the last token (Next).
    void KeepExpandedRun();
    void SetCaseSensitive(bool Value) { fCaseSensitive = Value; }
    bool CaseSensitive() const { return fCaseSensitive; }

private:
    std::vector<std::unique_ptr<TLexHighlighterAttributes>> fAttributes; // sorted by Name
    std::unique_ptr<TLexNotifyEventChain> fAttrChangeHooks;
    int fUpdateCount = 0;
    bool fEnabled = true;
    bool fLoading = false;
    TLexCharSet FAdditionalWordBreakChars;
    TLexCharSet FAdditionalIdentChars;
    QString FExportName;
    std::unique_ptr<TLexEditHighlighterOptions> FOptions;
    // The scanned text and its NUL, in a buffer that is never filled before it is written.
    std::unique_ptr<char16_t[]> fLineBuf;
    size_t fLineBufCapacity = 0;

protected:
    const char16_t *fCasedLine = nullptr;
    QString fCasedLineStr;
    bool fCaseSensitive = false;
    QString fDefaultFilter;
    const char16_t *fExpandedLine = nullptr;
    int fExpandedLineLen = 0;
    QString fExpandedLineStr;
    int fExpandedTokenPos = 0;
    const char16_t *fLine = nullptr;
    int fLineLen = 0;
    int fLineNumber = 0;
    int fStringLen = 0;
    const char16_t *fToIdent = nullptr;
    int fTokenPos = 0;
    bool fUpdateChange = false;
    int Run = 0;
    int ExpandedRun = 0;
    int fOldRun = 0;
};

// The loop of NextTokens over AHighlighter's own calls: with a final highlighter class none of
// them is a virtual call.
template <typename THighlighter>
int ReadTokens(THighlighter &AHighlighter, TLexTokenSpan *ATokens, int AMax) {
    int n = 0;
    while (n < AMax && !AHighlighter.GetEol()) {
        TLexTokenSpan &T = ATokens[n++];
        T.Pos = AHighlighter.GetTokenPos();
        T.Attri = AHighlighter.GetTokenAttribute();
        AHighlighter.Next();
        T.End = AHighlighter.GetEol() ? AHighlighter.LineLength() : AHighlighter.GetTokenPos();
    }
    return n;
}

// An INI file held in memory. Section and key names are looked up without regard to letter case
// and keep the case they were first written with; the file is read when the object is created
// from a file name and written by UpdateFile. Format: "[Section]" lines, "Key=Value" lines and an
// empty line after each section; lines starting with ";" or "#" are comments.
class TLexIniFile {
public:
    TLexIniFile() = default;
    // Reads AFileName when it exists; an existing file that cannot be read is an error.
    explicit TLexIniFile(const QString &AFileName);

    const QString &FileName() const { return FFileName; }
    void SetText(const QString &AText);
    QString Text() const;

    QStringList ReadSections() const;
    QStringList ReadSection(const QString &Section) const; // the key names
    bool SectionExists(const QString &Section) const;
    bool ValueExists(const QString &Section, const QString &Ident) const;
    QString ReadString(const QString &Section, const QString &Ident, const QString &Default) const;
    // Decimal, "$" or "0x" hexadecimal, 32-bit; anything else gives Default.
    int ReadInteger(const QString &Section, const QString &Ident, int Default) const;
    void WriteString(const QString &Section, const QString &Ident, const QString &Value);
    void WriteInteger(const QString &Section, const QString &Ident, int Value);
    void EraseSection(const QString &Section);
    void DeleteKey(const QString &Section, const QString &Ident);
    // Writes the file (atomically: the old file stays intact when writing fails).
    void UpdateFile() const;

private:
    struct TKey {
        QString Name;
        QString Value;
    };
    struct TSection {
        QString Name;
        std::vector<TKey> Keys;
    };
    const TSection *FindSection(const QString &Section) const;
    TSection *FindSection(const QString &Section);

    QString FFileName;
    std::vector<TSection> FSections;
};

} // namespace lexedit
