#pragma once

// The per-thread Pango state behind fonts and string drawing: one Pango context with fixed font
// options (no hinting of metrics, grey antialiasing, unrounded glyph positions, so text measures
// the same at every scale) and a cache of laid-out strings, so a label redrawn every frame is
// shaped once. Only what the layout can show of a string is laid out (see TextForLayout.h), so
// the cost of a layout is bounded whatever the text. Pango objects are not shared between
// threads; each thread gets its own engine.

#include "platform/graphics/UIFont.h"

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

typedef struct _PangoContext PangoContext;
typedef struct _PangoLayout PangoLayout;
typedef struct _PangoFontDescription PangoFontDescription;

// How a string is laid out: the values of NSTextAlignment and NSLineBreakMode.
struct TextLayoutParams {
    int64_t alignment = 4;     // NSTextAlignmentNatural
    int64_t lineBreakMode = 0; // NSLineBreakByWordWrapping
    CGFloat width = -1;        // wrap width in points; negative for none
    int64_t maxLines = 0;      // 0 for no limit
};

class TextEngine {
public:
    static TextEngine& forThisThread();
    ~TextEngine();
    TextEngine(const TextEngine&) = delete;
    TextEngine& operator=(const TextEngine&) = delete;

    struct Metrics {
        CGFloat ascent = 0, descent = 0; // both positive, in points
    };
    Metrics metrics(const UIFont& font);

    // A laid-out string and the box of its first `maxLines` lines (all when 0), in points with
    // the layout's top left at the origin.
    struct Laid {
        PangoLayout* layout = nullptr; // owned by the cache; valid until the next layout call
        CGSize size;
        CGFloat visibleHeight = 0; // the height to clip to when lines are cut off
        int lineCount = 0;         // lines shown
        int totalLines = 0;        // lines the text wraps into before any limit
    };
    Laid layout(std::string_view text, const UIFont& font, const TextLayoutParams& params);

private:
    TextEngine();
    PangoFontDescription* description(const UIFont& font);
    PangoLayout* build(const std::string& text, const UIFont& font, const TextLayoutParams& params);

    struct Entry {
        std::string key;
        Laid laid;
    };
    PangoContext* context_;
    std::unordered_map<std::string, PangoFontDescription*> descriptions_;
    std::unordered_map<std::string, Metrics> metrics_;
    std::list<Entry> lru_;
    std::unordered_map<std::string, std::list<Entry>::iterator> cache_;
};
