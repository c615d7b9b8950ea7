// SPDX-License-Identifier: MIT
#pragma once
// The random-command harness of the editing tests and the fuzz target: command sequences on
// small texts (tabs, empty lines, trailing blanks, surrogate pairs, a final empty line) in each
// selection mode, with the undo properties checked as they run.

#include "lexedit/LexEdit.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace editor_test {

// Where the harness takes its decisions from.
class TChoiceSource {
public:
    virtual ~TChoiceSource() = default;
    // A value in 0..ABound-1 (ABound > 0).
    virtual uint32_t Next(uint32_t ABound) = 0;
    // True when no more decisions are available (the sequence then ends).
    virtual bool Exhausted() const = 0;
};

// Seeded and reproducible.
class TSeededChoices : public TChoiceSource {
public:
    explicit TSeededChoices(uint32_t ASeed) : FRandom(ASeed) {}
    uint32_t Next(uint32_t ABound) override { return uint32_t(FRandom() % ABound); }
    bool Exhausted() const override { return false; }

private:
    std::mt19937 FRandom;
};

// Fuzz input: each decision takes bytes from the data; it is exhausted at its end.
class TByteChoices : public TChoiceSource {
public:
    TByteChoices(const uint8_t *AData, size_t ASize) : FData(AData), FSize(ASize) {}
    uint32_t Next(uint32_t ABound) override;
    bool Exhausted() const override { return FPos >= FSize; }

private:
    const uint8_t *FData;
    size_t FSize;
    size_t FPos = 0;
};

// Recorded decisions played back, each taken modulo the bound asked for; exhausted at their end.
class TReplayChoices : public TChoiceSource {
public:
    explicit TReplayChoices(std::vector<uint32_t> AValues) : FValues(std::move(AValues)) {}
    uint32_t Next(uint32_t ABound) override { return FPos < FValues.size() ? FValues[FPos++] % ABound : 0; }
    bool Exhausted() const override { return FPos >= FValues.size(); }

private:
    std::vector<uint32_t> FValues;
    size_t FPos = 0;
};

struct TEditRunResult {
    QString Failure; // empty when every property held
    int Commands = 0;
    // The decisions taken, so that a failed run can be replayed and shrunk: those of the set-up
    // (text, options, mode) and those of each command run.
    std::vector<uint32_t> Setup;
    std::vector<std::vector<uint32_t>> Steps;
};

// Runs one sequence of at most AMaxCommands commands on AEdit: sets a random text, options and
// selection mode, then runs random commands (every editing and selecting command of the default
// keystroke table, in all three selection modes, and direct selection and text changes).
// Checked after every command: caret and block ends inside the buffer, not past their line's
// end unless eoScrollPastEol is on, never between the halves of a surrogate pair; no lone
// surrogate half in the text; a collapsed selection on the caret; one Undo restores the text
// before the command and one Redo the text after it; a column delete keeps the line count and
// the rows outside the block; Tab and Shift+Tab on a line-mode selection change nothing but the
// lines' indentation. At the end undo-all restores the start text and redo-all the final
// text, twice, and a read-only editor refuses every editing command.
TEditRunResult RunEditSequence(lexedit::TLexEdit &AEdit, TChoiceSource &AChoices, int AMaxCommands);

// Shrinks a failed run by dropping commands while the run still fails; returns the failure of
// the smallest sequence found, with every command of it listed.
QString ShrinkFailure(lexedit::TLexEdit &AEdit, const TEditRunResult &AFailed, int AMaxCommands);

} // namespace editor_test
