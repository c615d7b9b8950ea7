// SPDX-License-Identifier: MIT
// The small INI file the highlighters persist their attributes in.

#include "lexedit/LexEditHighlighter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace lexedit {

TLexIniFile::TLexIniFile(const QString &AFileName) : FFileName(AFileName) {
    QFile File(AFileName);
    if (!File.exists()) return;
    if (!File.open(QIODevice::ReadOnly))
        throw ELexIniFile(QStringLiteral("Cannot open file \"%1\". %2").arg(AFileName, File.errorString()));
    const QByteArray Data = File.readAll();
    if (File.error() != QFileDevice::NoError)
        throw ELexIniFile(QStringLiteral("Cannot read file \"%1\". %2").arg(AFileName, File.errorString()));
    QString Text = QString::fromUtf8(Data);
    if (Text.startsWith(QChar(0xFEFF))) Text.remove(0, 1);
    SetText(Text);
}

void TLexIniFile::SetText(const QString &AText) {
    FSections.clear();
    TSection *Current = nullptr;
    const auto Lines = QStringView(AText).split(QLatin1Char('\n'));
    for (QStringView Line : Lines) {
        Line = Line.trimmed(); // also drops the CR of CR LF
        if (Line.isEmpty() || Line.startsWith(u';') || Line.startsWith(u'#')) continue;
        if (Line.startsWith(u'[')) {
            const qsizetype Close = Line.indexOf(u']');
            const QString Name = (Close < 0 ? Line.mid(1) : Line.mid(1, Close - 1)).trimmed().toString();
            Current = FindSection(Name);
            if (!Current) {
                FSections.push_back(TSection{Name, {}});
                Current = &FSections.back();
            }
            continue;
        }
        if (!Current) continue; // keys before the first section belong to none
        const qsizetype Eq = Line.indexOf(u'=');
        const QString Name = (Eq < 0 ? Line : Line.left(Eq)).trimmed().toString();
        const QString Value = Eq < 0 ? QString() : Line.mid(Eq + 1).trimmed().toString();
        if (Name.isEmpty()) continue;
        WriteString(Current->Name, Name, Value);
    }
}

QString TLexIniFile::Text() const {
    QString Result;
    for (const TSection &Section : FSections) {
        Result += QLatin1Char('[') + Section.Name + QLatin1String("]\n");
        for (const TKey &Key : Section.Keys)
            Result += Key.Name + QLatin1Char('=') + Key.Value + QLatin1Char('\n');
        Result += QLatin1Char('\n');
    }
    return Result;
}

const TLexIniFile::TSection *TLexIniFile::FindSection(const QString &Section) const {
    for (const TSection &s : FSections)
        if (QString::compare(s.Name, Section, Qt::CaseInsensitive) == 0) return &s;
    return nullptr;
}

TLexIniFile::TSection *TLexIniFile::FindSection(const QString &Section) {
    return const_cast<TSection *>(static_cast<const TLexIniFile *>(this)->FindSection(Section));
}

QStringList TLexIniFile::ReadSections() const {
    QStringList Result;
    for (const TSection &s : FSections)
        Result << s.Name;
    return Result;
}

QStringList TLexIniFile::ReadSection(const QString &Section) const {
    QStringList Result;
    if (const TSection *s = FindSection(Section))
        for (const TKey &k : s->Keys)
            Result << k.Name;
    return Result;
}

bool TLexIniFile::SectionExists(const QString &Section) const {
    return FindSection(Section) != nullptr;
}

bool TLexIniFile::ValueExists(const QString &Section, const QString &Ident) const {
    if (const TSection *s = FindSection(Section))
        for (const TKey &k : s->Keys)
            if (QString::compare(k.Name, Ident, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString TLexIniFile::ReadString(const QString &Section, const QString &Ident, const QString &Default) const {
    if (const TSection *s = FindSection(Section))
        for (const TKey &k : s->Keys)
            if (QString::compare(k.Name, Ident, Qt::CaseInsensitive) == 0) return k.Value;
    return Default;
}

int TLexIniFile::ReadInteger(const QString &Section, const QString &Ident, int Default) const {
    const QString Text = ReadString(Section, Ident, QString()).trimmed();
    if (Text.isEmpty()) return Default;
    bool Ok = false;
    qlonglong Value = 0;
    const bool Hex =
        Text.startsWith(QLatin1Char('$')) || Text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    if (Hex)
        Value = Text.mid(Text.startsWith(QLatin1Char('$')) ? 1 : 2).toLongLong(&Ok, 16);
    else
        Value = Text.toLongLong(&Ok, 10);
    if (!Ok) return Default;
    // A hexadecimal value is a 32-bit pattern ("$FF000005" is a system colour).
    if (Hex && Value >= 0 && Value <= qlonglong(std::numeric_limits<uint32_t>::max()))
        return int(uint32_t(Value));
    if (Value < std::numeric_limits<int>::min() || Value > std::numeric_limits<int>::max()) return Default;
    return int(Value);
}

void TLexIniFile::WriteString(const QString &Section, const QString &Ident, const QString &Value) {
    TSection *s = FindSection(Section);
    if (!s) {
        FSections.push_back(TSection{Section, {}});
        s = &FSections.back();
    }
    for (TKey &k : s->Keys)
        if (QString::compare(k.Name, Ident, Qt::CaseInsensitive) == 0) {
            k.Value = Value;
            return;
        }
    s->Keys.push_back(TKey{Ident, Value});
}

void TLexIniFile::WriteInteger(const QString &Section, const QString &Ident, int Value) {
    WriteString(Section, Ident, QString::number(Value));
}

void TLexIniFile::EraseSection(const QString &Section) {
    for (auto it = FSections.begin(); it != FSections.end(); ++it)
        if (QString::compare(it->Name, Section, Qt::CaseInsensitive) == 0) {
            FSections.erase(it);
            return;
        }
}

void TLexIniFile::DeleteKey(const QString &Section, const QString &Ident) {
    if (TSection *s = FindSection(Section))
        for (auto it = s->Keys.begin(); it != s->Keys.end(); ++it)
            if (QString::compare(it->Name, Ident, Qt::CaseInsensitive) == 0) {
                s->Keys.erase(it);
                return;
            }
}

void TLexIniFile::UpdateFile() const {
    if (FFileName.isEmpty()) return;
    QSaveFile File(FFileName);
    if (!File.open(QIODevice::WriteOnly))
        throw ELexIniFile(QStringLiteral("Cannot create file \"%1\". %2").arg(FFileName, File.errorString()));
    const QByteArray Data = Text().toUtf8();
    if (File.write(Data) != Data.size() || !File.commit())
        throw ELexIniFile(QStringLiteral("Cannot write file \"%1\". %2").arg(FFileName, File.errorString()));
}

} // namespace lexedit
