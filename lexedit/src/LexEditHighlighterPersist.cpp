// SPDX-License-Identifier: MIT
// Persistence of highlighter attributes: a key/value store (QSettings), INI files, and the import
// of another IDE's editor colours.
//
// Every attribute has its own group (key) or section named after its Name, holding the integers
// "Background", "Foreground" and "Style". Loading reports failure by a false result; attributes
// loaded before a failure keep their new values, and every attribute is tried.

#include "lexedit/LexEditHighlighter.h"

#include <QSettings>

#include <array>

namespace lexedit {

namespace {

const QString KeyBackground = QStringLiteral("Background");
const QString KeyForeground = QStringLiteral("Foreground");
const QString KeyStyle = QStringLiteral("Style");

// A registry-style path ("Software\\Vendor\\Colors") as a QSettings group path.
QString GroupPath(const QString &AKey) {
    QString Result = AKey;
    Result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (Result.startsWith(QLatin1Char('/')))
        Result.remove(0, 1);
    while (Result.endsWith(QLatin1Char('/')))
        Result.chop(1);
    return Result;
}

// Whether the group APath exists below the store's current group.
bool GroupExists(QSettings &Reg, const QString &APath) {
    if (APath.isEmpty()) return true;
    Reg.beginGroup(APath);
    const bool Exists = !Reg.childKeys().isEmpty() || !Reg.childGroups().isEmpty();
    Reg.endGroup();
    return Exists;
}

// An integer value of the current group; false when it is missing or not an integer.
bool ReadInt(QSettings &Reg, const QString &AName, int &AValue) {
    if (!Reg.contains(AName)) return false;
    bool Ok = false;
    const qlonglong v = Reg.value(AName).toLongLong(&Ok);
    if (!Ok || v < std::numeric_limits<int>::min() || v > qlonglong(std::numeric_limits<uint32_t>::max()))
        return false;
    AValue = int(uint32_t(v));
    return true;
}

// The i-th comma-separated field (0-based); false when there are fewer fields.
bool Field(const QStringList &AFields, int AIndex, QString &AValue) {
    if (AIndex < 0 || AIndex >= AFields.size()) return false;
    AValue = AFields[AIndex];
    return true;
}

// A palette entry by its index in text; false for anything but 0..15.
bool PaletteColor(const QString &AIndexText, TColor &AColor) {
    bool Ok = false;
    const int Index = AIndexText.trimmed().toInt(&Ok);
    if (!Ok || Index < 0 || Index > 15) return false;
    AColor = Pal16[Index];
    return true;
}

bool IsTrueFlag(const QString &AValue) {
    return QString::compare(AValue, QLatin1String("FALSE"), Qt::CaseInsensitive) != 0 &&
           AValue != QLatin1String("0");
}

struct TNamedColor {
    const char *Name;
    TColor Color;
};

constexpr std::array<TNamedColor, 43> NamedColors{{
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
}};

} // namespace

bool IdentToLexColor(const QString &AText, TColor &AColor) {
    const QString Text = AText.trimmed();
    for (const TNamedColor &c : NamedColors)
        if (QString::compare(Text, QLatin1String(c.Name), Qt::CaseInsensitive) == 0) {
            AColor = c.Color;
            return true;
        }
    bool Ok = false;
    qlonglong v = 0;
    if (Text.startsWith(QLatin1Char('$')))
        v = Text.mid(1).toLongLong(&Ok, 16);
    else if (Text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = Text.mid(2).toLongLong(&Ok, 16);
    else
        v = Text.toLongLong(&Ok, 10);
    if (!Ok || v < std::numeric_limits<int>::min() || v > qlonglong(std::numeric_limits<uint32_t>::max()))
        return false;
    AColor = TColor(uint32_t(v));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Attribute

bool TLexHighlighterAttributes::LoadFromRegistry(QSettings &Reg) {
    if (!Reg.childGroups().contains(fName)) return false;
    Reg.beginGroup(fName);
    bool Result = true;
    int v = 0;
    if (Reg.contains(KeyBackground)) {
        if (ReadInt(Reg, KeyBackground, v))
            SetBackground(v);
        else
            Result = false;
    }
    if (Reg.contains(KeyForeground)) {
        if (ReadInt(Reg, KeyForeground, v))
            SetForeground(v);
        else
            Result = false;
    }
    if (Reg.contains(KeyStyle)) {
        if (ReadInt(Reg, KeyStyle, v))
            SetIntegerStyle(v);
        else
            Result = false;
    }
    Reg.endGroup();
    return Result;
}

bool TLexHighlighterAttributes::SaveToRegistry(QSettings &Reg) {
    if (!Reg.isWritable()) return false;
    Reg.beginGroup(fName);
    Reg.setValue(KeyBackground, int(fBackground));
    Reg.setValue(KeyForeground, int(fForeground));
    Reg.setValue(KeyStyle, IntegerStyle());
    Reg.endGroup();
    return true;
}

bool TLexHighlighterAttributes::LoadFromFile(TLexIniFile &Ini) {
    if (Ini.ReadSection(fName).isEmpty()) return false;
    if (Ini.ValueExists(fName, KeyBackground))
        SetBackground(Ini.ReadInteger(fName, KeyBackground, Background()));
    if (Ini.ValueExists(fName, KeyForeground))
        SetForeground(Ini.ReadInteger(fName, KeyForeground, Foreground()));
    if (Ini.ValueExists(fName, KeyStyle)) SetIntegerStyle(Ini.ReadInteger(fName, KeyStyle, IntegerStyle()));
    return true;
}

bool TLexHighlighterAttributes::SaveToFile(TLexIniFile &Ini) {
    Ini.WriteInteger(fName, KeyBackground, fBackground);
    Ini.WriteInteger(fName, KeyForeground, fForeground);
    Ini.WriteInteger(fName, KeyStyle, IntegerStyle());
    return true;
}

bool TLexHighlighterAttributes::LoadFromIDERegistry(QSettings &RootKey, const QString &AttrKey,
                                                    const QString &AttrName, bool OldStyle) {
    // Everything is read and checked first and applied only on success, so a failed import
    // changes nothing.
    TColor NewForeground = fForeground;
    TColor NewBackground = fBackground;
    TFontStyles NewStyle;
    try {
        if (OldStyle) {
            const QString Group = GroupPath(AttrKey);
            if (!GroupExists(RootKey, Group)) return false;
            if (!Group.isEmpty()) RootKey.beginGroup(Group);
            const bool Present = RootKey.contains(AttrName);
            const QString Value = Present ? RootKey.value(AttrName).toString() : QString();
            if (!Group.isEmpty()) RootKey.endGroup();
            if (!Present) return false;
            // Seven comma-separated fields; the 1-based fields 3 to 7 are used.
            const QStringList Fields = Value.split(QLatin1Char(','));
            if (Fields.size() < 7) return false;
            QString Letters, DefaultFg, DefaultBg, FgIndex, BgIndex;
            if (!Field(Fields, 2, Letters) || !Field(Fields, 3, DefaultFg) || !Field(Fields, 4, DefaultBg) ||
                !Field(Fields, 5, FgIndex) || !Field(Fields, 6, BgIndex))
                return false;
            if (Letters.contains(QLatin1Char('B'))) NewStyle.Include(fsBold);
            if (Letters.contains(QLatin1Char('I'))) NewStyle.Include(fsItalic);
            if (Letters.contains(QLatin1Char('U'))) NewStyle.Include(fsUnderline);
            if (DefaultFg == QLatin1String("1"))
                NewForeground = clWindowText;
            else if (!PaletteColor(FgIndex, NewForeground))
                return false;
            if (DefaultBg == QLatin1String("1"))
                NewBackground = clWindow;
            else if (!PaletteColor(BgIndex, NewBackground))
                return false;
        } else {
            const QString Group = GroupPath(GroupPath(AttrKey) + QLatin1Char('/') + AttrName);
            if (!GroupExists(RootKey, Group)) return false;
            RootKey.beginGroup(Group);
            struct TGroupEnd {
                QSettings &Reg;
                ~TGroupEnd() { Reg.endGroup(); }
            } GroupEnd{RootKey};
            auto ReadColor = [&RootKey](const QString &AIndexName, const QString &ANameName, TColor &AColor) {
                if (RootKey.contains(AIndexName))
                    return PaletteColor(RootKey.value(AIndexName).toString(), AColor);
                if (RootKey.contains(ANameName))
                    return IdentToLexColor(RootKey.value(ANameName).toString(), AColor);
                return false;
            };
            TColor Fg = clNone, Bg = clNone;
            if (!ReadColor(QStringLiteral("Foreground Color"), QStringLiteral("Foreground Color New"), Fg))
                return false;
            if (!ReadColor(QStringLiteral("Background Color"), QStringLiteral("Background Color New"), Bg))
                return false;
            const QStringList FlagNames{QStringLiteral("Bold"), QStringLiteral("Italic"),
                                        QStringLiteral("Underline"), QStringLiteral("Default Foreground"),
                                        QStringLiteral("Default Background")};
            bool Flags[5] = {};
            for (int i = 0; i < 5; ++i) {
                if (!RootKey.contains(FlagNames[i])) return false;
                Flags[i] = IsTrueFlag(RootKey.value(FlagNames[i]).toString());
            }
            NewBackground = Flags[4] ? clWindow : Bg;
            NewForeground = Flags[3] ? clWindowText : Fg;
            if (Flags[0]) NewStyle.Include(fsBold);
            if (Flags[1]) NewStyle.Include(fsItalic);
            if (Flags[2]) NewStyle.Include(fsUnderline);
        }
    } catch (...) {
        return false;
    }
    SetBackground(NewBackground);
    SetForeground(NewForeground);
    SetStyle(NewStyle);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Highlighter

bool TLexCustomHighlighter::LoadFromRegistry(QSettings &RootKey, const QString &Key) {
    const QString Group = GroupPath(Key);
    if (!GroupExists(RootKey, Group)) return false;
    if (!Group.isEmpty()) RootKey.beginGroup(Group);
    bool Result = true;
    try {
        for (int i = 0; i < AttrCount(); ++i)
            Result = GetAttribute(i)->LoadFromRegistry(RootKey) && Result; // every attribute is tried
    } catch (...) {
        if (!Group.isEmpty()) RootKey.endGroup();
        throw;
    }
    if (!Group.isEmpty()) RootKey.endGroup();
    return Result;
}

bool TLexCustomHighlighter::SaveToRegistry(QSettings &RootKey, const QString &Key) {
    const QString Group = GroupPath(Key);
    if (!Group.isEmpty()) RootKey.beginGroup(Group);
    bool Result = true;
    for (int i = 0; i < AttrCount(); ++i)
        Result = GetAttribute(i)->SaveToRegistry(RootKey) && Result;
    if (!Group.isEmpty()) RootKey.endGroup();
    RootKey.sync();
    return Result && RootKey.status() == QSettings::NoError;
}

bool TLexCustomHighlighter::LoadFromFile(const QString &AFileName) {
    TLexIniFile Ini(AFileName);
    return LoadFromIniFile(Ini);
}

bool TLexCustomHighlighter::SaveToFile(const QString &AFileName) {
    TLexIniFile Ini(AFileName);
    return SaveToIniFile(Ini);
}

bool TLexCustomHighlighter::LoadFromIniFile(TLexIniFile &AIni) {
    bool Result = true;
    for (int i = 0; i < AttrCount(); ++i)
        Result = GetAttribute(i)->LoadFromFile(AIni) && Result; // every attribute is tried
    return Result;
}

bool TLexCustomHighlighter::SaveToIniFile(TLexIniFile &AIni) {
    bool Result = true;
    for (int i = 0; i < AttrCount(); ++i)
        Result = GetAttribute(i)->SaveToFile(AIni) && Result;
    AIni.UpdateFile();
    return Result;
}

} // namespace lexedit
