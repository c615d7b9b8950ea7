// SPDX-License-Identifier: MIT
#include "lexedit/LexEditHighlighterOptions.h"

namespace lexedit {

void TLexEditHighlighterOptions::Assign(const TLexEditHighlighterOptions *Source) {
    if (Source && Source != this) *this = *Source;
}

void TLexEditHighlighterOptions::AssignTo(TLexEditHighlighterOptions *Dest) const {
    if (Dest) Dest->Assign(this);
}

bool TLexEditHighlighterOptions::operator==(const TLexEditHighlighterOptions &AOther) const {
    return FAutoDetectEnabled == AOther.FAutoDetectEnabled &&
           FAutoDetectLineLimit == AOther.FAutoDetectLineLimit &&
           FAutoDetectMatchExpression == AOther.FAutoDetectMatchExpression &&
           FDefaultExtension == AOther.FDefaultExtension && FLineCommentarEnd == AOther.FLineCommentarEnd &&
           FLineCommentarStart == AOther.FLineCommentarStart && FTitle == AOther.FTitle &&
           FVisible == AOther.FVisible;
}

} // namespace lexedit
