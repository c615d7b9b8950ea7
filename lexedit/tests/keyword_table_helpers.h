// SPDX-License-Identifier: MIT
#pragma once
// A check of a highlighter's keyword table (LexKeywordTable.h) against the rule it stands for:
// the word at a position is the run of word characters there, and it is a keyword exactly when
// that run is one of the table's words. The rule is tested on every keyword and on its whole
// neighbourhood of one edit: every proper prefix, every character deleted, every character
// replaced (by letters, digits, "_", its capital, a letter of another script and characters that
// end a word) and one character appended. The hash plays no part in the expectation.

#include <QString>

#include <set>
#include <string>
#include <vector>

namespace lexedit_test {

struct TKeywordTableCheck {
    QString Problem;   // the first word the table answers wrongly, empty when none
    int Reachable = 0; // keywords made of word characters only (the others are never found)
    long Words = 0;    // words looked up
};

template <typename TTable> TKeywordTableCheck CheckKeywordTable(const TTable &ATable) {
    using TTraits = typename TTable::Traits;
    TKeywordTableCheck Result;
    std::set<std::u16string> Keywords;
    for (size_t i = 0; i < ATable.Count(); ++i) {
        const std::u16string Word(ATable.Word(i));
        bool AllWordChars = !Word.empty();
        for (char16_t c : Word)
            AllWordChars = AllWordChars && TTraits::IsWordChar(c);
        if (AllWordChars) {
            Keywords.insert(Word);
            ++Result.Reachable;
        }
    }
    auto Check = [&](const std::u16string &AWord) {
        if (!Result.Problem.isEmpty()) return;
        ++Result.Words;
        size_t Run = 0;
        while (Run < AWord.size() && TTraits::IsWordChar(AWord[Run]))
            ++Run;
        const auto ExpectedKind =
            Keywords.count(AWord.substr(0, Run)) ? TTraits::KeyKind : TTraits::OtherKind;
        const auto Found = ATable.Find(AWord.c_str());
        if (Found.Kind != ExpectedKind || Found.Length != int(Run))
            Result.Problem = QStringLiteral("\"%1\": kind %2 length %3, expected kind %4 length %5")
                                 .arg(QString::fromStdU16String(AWord))
                                 .arg(int(Found.Kind))
                                 .arg(Found.Length)
                                 .arg(int(ExpectedKind))
                                 .arg(Run);
    };
    std::u16string Replacements = u"abcdefghijklmnopqrstuvwxyz0123456789_/$\u00e9\u0416 ;!-<>";
    for (size_t i = 0; i < ATable.Count(); ++i) {
        const std::u16string Word(ATable.Word(i));
        Check(Word);
        for (const char16_t *End : {u";", u" ", u">", u"\u00a0"})
            Check(Word + End);
        for (size_t n = 0; n < Word.size(); ++n)
            Check(Word.substr(0, n));
        for (size_t k = 0; k < Word.size(); ++k) {
            Check(Word.substr(0, k) + Word.substr(k + 1));
            std::u16string Changed = Word;
            const char16_t Own = Word[k];
            const char16_t Capital = (Own >= u'a' && Own <= u'z') ? char16_t(Own - 32) : Own;
            for (char16_t c : Replacements + Capital) {
                if (c == Own) continue;
                Changed[k] = c;
                Check(Changed);
            }
        }
        for (char16_t c : Replacements)
            Check(Word + c);
    }
    return Result;
}

} // namespace lexedit_test
