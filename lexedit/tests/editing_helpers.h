#pragma once
// The random-command harness of the editing tests and the fuzz target: command sequences on
// small texts (tabs, empty lines, trailing blanks, surrogate pairs, a final empty line) in each
// selection mode, with the undo properties checked as they run.

#include "lexedit/LexEdit.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <random>

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

struct TEditRunResult {
    QString Failure; // empty when every property held
    int Commands = 0;
};

// Runs one sequence of at most AMaxCommands commands on AEdit: sets a random text, options and
// selection mode, then runs random commands. Checked after every command: caret and block ends
// inside the buffer, a collapsed selection on the caret, one Undo restores the text before the
// command and one Redo the text after it, a column delete keeps the line count and the rows
// outside the block; at the end undo-all restores the start text and redo-all the final text,
// twice, and a read-only editor refuses every editing command.
TEditRunResult RunEditSequence(lexedit::TLexEdit &AEdit, TChoiceSource &AChoices, int AMaxCommands);

} // namespace editor_test
