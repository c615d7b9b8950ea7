// SPDX-License-Identifier: MIT
// libFuzzer target for editing: the fuzz input drives the random-command harness of the editor
// tests (text, options, selection mode and every command are taken from the input bytes), and
// every property of the harness must hold: caret and block inside the buffer, one undo and one
// redo per command, undo-all and redo-all restoring the texts exactly, read-only refusing edits.
// The number of commands run so far is printed every 100,000 commands.

#include "editing_helpers.h"

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// The application and editor live for the whole fuzzing process (libFuzzer calls in a loop).
struct TFuzzState {
    std::unique_ptr<QApplication> App;
    std::unique_ptr<lexedit::TLexEdit> Edit;
    uint64_t Commands = 0;
    uint64_t NextReport = 100000;
};

TFuzzState &State() {
    static TFuzzState S;
    return S;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    State().App = std::make_unique<QApplication>(*argc, *argv);
    State().Edit = std::make_unique<lexedit::TLexEdit>();
    // The editor goes before the process-wide font stock it uses, which was made after this
    // state and would otherwise be destroyed first at exit.
    std::atexit([] {
        State().Edit.reset();
        State().App.reset();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
    TFuzzState &S = State();
    editor_test::TByteChoices Choices(Data, Size);
    const editor_test::TEditRunResult R = editor_test::RunEditSequence(*S.Edit, Choices, 400);
    S.Commands += uint64_t(R.Commands);
    if (S.Commands >= S.NextReport) {
        std::fprintf(stderr, "editing commands run: %llu\n", static_cast<unsigned long long>(S.Commands));
        S.NextReport = (S.Commands / 100000 + 1) * 100000;
    }
    if (!R.Failure.isEmpty()) {
        std::fprintf(stderr, "editing property broken after %d commands: %s\n", R.Commands,
                     qPrintable(editor_test::ShrinkFailure(*S.Edit, R, 400)));
        std::abort();
    }
    return 0;
}
