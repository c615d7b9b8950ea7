// SPDX-License-Identifier: MIT
#pragma once
// The editor's data object: one QMimeData serves the clipboard and drags. It carries
//   text/plain   the text;
//   the private selection-mode type  one byte, the selection mode of the copy (0 smNormal,
//                1 smLine, 2 smColumn), so that a column block or selected lines paste as such;
//   text/html    when the editor has a highlighter: the copied text as an HTML document with
//                inline styles (programs that drop style sheets keep the colours), without the
//                editor's background unless asked for, lines ended by <br /> inside <pre>.

#include "lexedit/LexEditTypes.h"

#include <QString>

#include <optional>

class QMimeData;

namespace lexedit {

// The MIME type of the selection-mode byte ("Internal LexEdit clipboard format").
QString LexEditClipboardFormat();

// What an editor takes from a data object, read from one snapshot of it.
struct TLexDataObjectContent {
    bool HasText = false; // text/plain is offered (a list of URLs alone is not text)
    QString Text;
    // The selection mode byte when it is present and valid (one byte, 0..2).
    std::optional<TLexSelectionMode> Mode;
};
TLexDataObjectContent ReadDataObject(const QMimeData *AData);

} // namespace lexedit
