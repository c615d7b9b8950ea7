// SPDX-License-Identifier: MIT
#pragma once
// Descriptive settings of a highlighter (title, default extension, comment markers, detection).
// Nothing in the editor reads them; they are kept, streamed and copied.

#include <QString>

#include <cstdint>

namespace lexedit {

class TLexEditHighlighterOptions {
public:
    TLexEditHighlighterOptions() = default;

    // Copies all eight fields from Source; a missing source is ignored.
    void Assign(const TLexEditHighlighterOptions *Source);
    // Copies all eight fields into Dest; a missing destination is ignored.
    void AssignTo(TLexEditHighlighterOptions *Dest) const;

    bool AutoDetectEnabled() const { return FAutoDetectEnabled; }
    uint32_t AutoDetectLineLimit() const { return FAutoDetectLineLimit; }
    const QString &AutoDetectMatchExpression() const { return FAutoDetectMatchExpression; }
    const QString &DefaultExtension() const { return FDefaultExtension; }
    const QString &LineCommentarEnd() const { return FLineCommentarEnd; }
    const QString &LineCommentarStart() const { return FLineCommentarStart; }
    const QString &Title() const { return FTitle; }
    bool Visible() const { return FVisible; }

    void SetAutoDetectEnabled(bool Value) { FAutoDetectEnabled = Value; }
    void SetAutoDetectLineLimit(uint32_t Value) { FAutoDetectLineLimit = Value; }
    void SetAutoDetectMatchExpression(const QString &Value) { FAutoDetectMatchExpression = Value; }
    void SetDefaultExtension(const QString &Value) { FDefaultExtension = Value; }
    void SetLineCommentarEnd(const QString &Value) { FLineCommentarEnd = Value; }
    void SetLineCommentarStart(const QString &Value) { FLineCommentarStart = Value; }
    void SetTitle(const QString &Value) { FTitle = Value; }
    void SetVisible(bool Value) { FVisible = Value; }

    bool operator==(const TLexEditHighlighterOptions &AOther) const;
    bool operator!=(const TLexEditHighlighterOptions &AOther) const { return !(*this == AOther); }

private:
    bool FAutoDetectEnabled = false;
    uint32_t FAutoDetectLineLimit = 0;
    QString FAutoDetectMatchExpression;
    QString FDefaultExtension;
    QString FLineCommentarEnd;
    QString FLineCommentarStart;
    QString FTitle;
    bool FVisible = false;
};

} // namespace lexedit
