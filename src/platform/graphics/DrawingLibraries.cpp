#include "platform/graphics/DrawingLibraries.h"

#include "platform/foundation/NSLog.h"
#include "platform/process/LazyLibrary.h"

#include <cairo.h>
#include <glib-object.h>
#include <glib.h>
#include <pango/pangocairo.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <string>
#include <type_traits>

#if !defined(ORBITCHAT_GLIB_SONAME) || !defined(ORBITCHAT_GOBJECT_SONAME) ||                                 \
    !defined(ORBITCHAT_CAIRO_SONAME) || !defined(ORBITCHAT_PANGO_SONAME) ||                                  \
    !defined(ORBITCHAT_PANGOCAIRO_SONAME) || !defined(ORBITCHAT_WEBP_SONAME) ||                              \
    !defined(ORBITCHAT_WEBPMUX_SONAME)
#error "the drawing libraries' sonames are set by src/platform/graphics/CMakeLists.txt"
#endif

// The functions forwarded, library by library: every one that the program, its tests and its
// benchmarks call. A call to one not listed here fails to link, since nothing links the libraries.
#define ORBITCHAT_GLIB_FUNCTIONS(X)                                                                          \
    X(g_free)                                                                                                \
    X(g_list_free)                                                                                           \
    X(g_utf8_find_next_char)                                                                                 \
    X(g_list_free_full)                                                                                      \
    X(g_utf8_make_valid)                                                                                     \
    X(g_utf8_strlen)                                                                                         \
    X(g_utf8_validate)

#define ORBITCHAT_GOBJECT_FUNCTIONS(X)                                                                       \
    X(g_object_ref)                                                                                          \
    X(g_object_unref)

#define ORBITCHAT_CAIRO_FUNCTIONS(X)                                                                         \
    X(cairo_append_path)                                                                                     \
    X(cairo_arc)                                                                                             \
    X(cairo_clip)                                                                                            \
    X(cairo_clip_extents)                                                                                    \
    X(cairo_close_path)                                                                                      \
    X(cairo_copy_path)                                                                                       \
    X(cairo_create)                                                                                          \
    X(cairo_curve_to)                                                                                        \
    X(cairo_destroy)                                                                                         \
    X(cairo_fill)                                                                                            \
    X(cairo_fill_preserve)                                                                                   \
    X(cairo_font_options_create)                                                                             \
    X(cairo_font_options_destroy)                                                                            \
    X(cairo_font_options_set_antialias)                                                                      \
    X(cairo_font_options_set_hint_metrics)                                                                   \
    X(cairo_font_options_set_hint_style)                                                                     \
    X(cairo_get_current_point)                                                                               \
    X(cairo_get_fill_rule)                                                                                   \
    X(cairo_get_matrix)                                                                                      \
    X(cairo_get_source)                                                                                      \
    X(cairo_get_target)                                                                                      \
    X(cairo_has_current_point)                                                                               \
    X(cairo_identity_matrix)                                                                                 \
    X(cairo_image_surface_create)                                                                            \
    X(cairo_image_surface_create_from_png_stream)                                                            \
    X(cairo_image_surface_get_data)                                                                          \
    X(cairo_image_surface_get_format)                                                                        \
    X(cairo_image_surface_get_height)                                                                        \
    X(cairo_image_surface_get_stride)                                                                        \
    X(cairo_image_surface_get_width)                                                                         \
    X(cairo_in_fill)                                                                                         \
    X(cairo_line_to)                                                                                         \
    X(cairo_matrix_init)                                                                                     \
    X(cairo_matrix_init_rotate)                                                                              \
    X(cairo_matrix_init_scale)                                                                               \
    X(cairo_matrix_init_translate)                                                                           \
    X(cairo_matrix_multiply)                                                                                 \
    X(cairo_matrix_transform_point)                                                                          \
    X(cairo_move_to)                                                                                         \
    X(cairo_new_path)                                                                                        \
    X(cairo_new_sub_path)                                                                                    \
    X(cairo_paint)                                                                                           \
    X(cairo_paint_with_alpha)                                                                                \
    X(cairo_path_destroy)                                                                                    \
    X(cairo_pattern_set_extend)                                                                              \
    X(cairo_pattern_set_filter)                                                                              \
    X(cairo_pop_group_to_source)                                                                             \
    X(cairo_push_group)                                                                                      \
    X(cairo_rectangle)                                                                                       \
    X(cairo_reference)                                                                                       \
    X(cairo_restore)                                                                                         \
    X(cairo_save)                                                                                            \
    X(cairo_scale)                                                                                           \
    X(cairo_set_antialias)                                                                                   \
    X(cairo_set_dash)                                                                                        \
    X(cairo_set_fill_rule)                                                                                   \
    X(cairo_set_line_cap)                                                                                    \
    X(cairo_set_line_join)                                                                                   \
    X(cairo_set_line_width)                                                                                  \
    X(cairo_set_matrix)                                                                                      \
    X(cairo_set_miter_limit)                                                                                 \
    X(cairo_set_operator)                                                                                    \
    X(cairo_set_source_rgb)                                                                                  \
    X(cairo_set_source_rgba)                                                                                 \
    X(cairo_set_source_surface)                                                                              \
    X(cairo_status)                                                                                          \
    X(cairo_status_to_string)                                                                                \
    X(cairo_stroke)                                                                                          \
    X(cairo_stroke_preserve)                                                                                 \
    X(cairo_surface_destroy)                                                                                 \
    X(cairo_surface_flush)                                                                                   \
    X(cairo_surface_get_type)                                                                                \
    X(cairo_surface_mark_dirty)                                                                              \
    X(cairo_surface_status)                                                                                  \
    X(cairo_surface_write_to_png_stream)                                                                     \
    X(cairo_translate)                                                                                       \
    X(cairo_user_to_device)                                                                                  \
    X(cairo_user_to_device_distance)

#define ORBITCHAT_PANGO_FUNCTIONS(X)                                                                         \
    X(pango_attr_font_desc_new)                                                                              \
    X(pango_attr_list_insert)                                                                                \
    X(pango_attr_list_new)                                                                                   \
    X(pango_attr_list_unref)                                                                                 \
    X(pango_context_get_metrics)                                                                             \
    X(pango_context_get_language)                                                                            \
    X(pango_context_load_font)                                                                               \
    X(pango_context_set_language)                                                                            \
    X(pango_context_set_round_glyph_positions)                                                               \
    X(pango_find_paragraph_boundary)                                                                         \
    X(pango_font_describe)                                                                                   \
    X(pango_font_get_metrics)                                                                                \
    X(pango_font_description_free)                                                                           \
    X(pango_font_description_get_family)                                                                     \
    X(pango_font_description_new)                                                                            \
    X(pango_font_description_set_absolute_size)                                                              \
    X(pango_font_description_set_family)                                                                     \
    X(pango_font_description_set_style)                                                                      \
    X(pango_font_description_set_weight)                                                                     \
    X(pango_font_map_create_context)                                                                         \
    X(pango_font_metrics_get_ascent)                                                                         \
    X(pango_font_metrics_get_descent)                                                                        \
    X(pango_font_metrics_unref)                                                                              \
    X(pango_get_log_attrs)                                                                                   \
    X(pango_glyph_item_get_logical_widths)                                                                   \
    X(pango_glyph_string_free)                                                                               \
    X(pango_glyph_string_extents)                                                                            \
    X(pango_glyph_string_new)                                                                                \
    X(pango_item_free)                                                                                       \
    X(pango_itemize)                                                                                         \
    X(pango_itemize_with_base_dir)                                                                           \
    X(pango_language_from_string)                                                                            \
    X(pango_layout_get_alignment)                                                                            \
    X(pango_layout_get_context)                                                                              \
    X(pango_layout_get_extents)                                                                              \
    X(pango_layout_get_font_description)                                                                     \
    X(pango_layout_get_iter)                                                                                 \
    X(pango_layout_get_line_count)                                                                           \
    X(pango_layout_get_line_readonly)                                                                        \
    X(pango_layout_get_text)                                                                                 \
    X(pango_layout_iter_free)                                                                                \
    X(pango_layout_iter_get_baseline)                                                                        \
    X(pango_layout_iter_get_index)                                                                           \
    X(pango_layout_iter_get_line_extents)                                                                    \
    X(pango_layout_iter_get_line_readonly)                                                                   \
    X(pango_layout_iter_get_run_readonly)                                                                    \
    X(pango_layout_iter_next_line)                                                                           \
    X(pango_layout_iter_next_run)                                                                            \
    X(pango_layout_line_get_extents)                                                                         \
    X(pango_layout_new)                                                                                      \
    X(pango_layout_set_alignment)                                                                            \
    X(pango_layout_set_auto_dir)                                                                             \
    X(pango_layout_set_ellipsize)                                                                            \
    X(pango_layout_set_font_description)                                                                     \
    X(pango_layout_set_height)                                                                               \
    X(pango_layout_set_justify)                                                                              \
    X(pango_layout_set_text)                                                                                 \
    X(pango_layout_set_width)                                                                                \
    X(pango_layout_set_wrap)                                                                                 \
    X(pango_layout_is_ellipsized)                                                                            \
    X(pango_shape_with_flags)

#define ORBITCHAT_PANGOCAIRO_FUNCTIONS(X)                                                                    \
    X(pango_cairo_context_set_font_options)                                                                  \
    X(pango_cairo_show_glyph_string)                                                                         \
    X(pango_cairo_font_map_get_default)                                                                      \
    X(pango_cairo_show_layout)                                                                               \
    X(pango_cairo_show_layout_line)

#define ORBITCHAT_WEBP_FUNCTIONS(X)                                                                          \
    X(WebPConfigInitInternal)                                                                                \
    X(WebPFree)                                                                                              \
    X(WebPPictureFree)                                                                                       \
    X(WebPPictureImportRGBA)                                                                                 \
    X(WebPPictureInitInternal)

#define ORBITCHAT_WEBPMUX_FUNCTIONS(X)                                                                       \
    X(WebPAnimEncoderAdd)                                                                                    \
    X(WebPAnimEncoderAssemble)                                                                               \
    X(WebPAnimEncoderDelete)                                                                                 \
    X(WebPAnimEncoderNewInternal)                                                                            \
    X(WebPAnimEncoderOptionsInitInternal)

namespace {

// The drawing libraries' functions, found once, or why they could not be.
struct DrawingFunctions {
    ORBITCHAT_GLIB_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    ORBITCHAT_GOBJECT_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    ORBITCHAT_CAIRO_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    ORBITCHAT_PANGO_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    ORBITCHAT_PANGOCAIRO_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    std::string failure;
};

// The animated image writer's, apart: a run that draws but records no animation leaves them out.
struct AnimationFunctions {
    ORBITCHAT_WEBP_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    ORBITCHAT_WEBPMUX_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    std::string failure;
};

// All or nothing, with the library that failed named; said once in the log, since this runs once.
template <class Functions> Functions finishDrawing(const LibraryLookup& lookup, Functions f) {
    Functions loaded =
        lookup.finish(f, "the drawing libraries (" + lookup.soname() + ") could not be loaded: ");
    if (!loaded.failure.empty())
        NSLog("%@", {PlistValue(loaded.failure)});
    return loaded;
}

DrawingFunctions resolveDrawing() {
    DrawingFunctions f;
    LibraryLookup lookup;
    // Each library after those it needs, so that the first one missing is the one named.
    lookup.open(ORBITCHAT_GLIB_SONAME);
    ORBITCHAT_GLIB_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    lookup.open(ORBITCHAT_GOBJECT_SONAME);
    ORBITCHAT_GOBJECT_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    lookup.open(ORBITCHAT_CAIRO_SONAME);
    ORBITCHAT_CAIRO_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    lookup.open(ORBITCHAT_PANGO_SONAME);
    ORBITCHAT_PANGO_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    lookup.open(ORBITCHAT_PANGOCAIRO_SONAME);
    ORBITCHAT_PANGOCAIRO_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    return finishDrawing(lookup, f);
}

AnimationFunctions resolveAnimation() {
    AnimationFunctions f;
    LibraryLookup lookup;
    lookup.open(ORBITCHAT_WEBP_SONAME);
    ORBITCHAT_WEBP_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    lookup.open(ORBITCHAT_WEBPMUX_SONAME);
    ORBITCHAT_WEBPMUX_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    return finishDrawing(lookup, f);
}

const DrawingFunctions& drawing() {
    // Loaded at the first call from any thread (drawing happens on several); a thread that comes
    // while another loads waits for it, so every caller sees the same outcome. Never destroyed:
    // the text engine's objects are freed through it by destructors that run at exit.
    static auto* library = new LazyLibrary<DrawingFunctions>;
    return library->functions(resolveDrawing);
}

const AnimationFunctions& animation() {
    static auto* library = new LazyLibrary<AnimationFunctions>;
    return library->functions(resolveAnimation);
}

// What a forwarder answers when its library is missing: what Cairo's objects made in error answer
// (an out-of-memory status), and zero (false, none, no size) for everything else.
struct DrawingAnswers {
    template <class R> static R unavailable() {
        if constexpr (std::is_same_v<R, cairo_status_t>)
            return CAIRO_STATUS_NO_MEMORY;
        else
            return R{};
    }
};

template <class R, class... Parameters, class... Arguments>
R forward(R (*function)(Parameters...), Arguments... arguments) {
    return forwardTo<DrawingAnswers>(function, arguments...);
}

} // namespace

Result<> DrawingLibraries::load() {
    const DrawingFunctions& f = drawing();
    if (!f.failure.empty())
        return Failure{f.failure};
    return {};
}

Result<> DrawingLibraries::loadAnimation() {
    const AnimationFunctions& f = animation();
    if (!f.failure.empty())
        return Failure{f.failure};
    return {};
}

// The forwarders, under the libraries' own names. Each definition must match the header's
// declaration, or the C function's two prototypes conflict and the file does not compile.
extern "C" {

int WebPAnimEncoderAdd(WebPAnimEncoder* enc, struct WebPPicture* frame, int timestamp_ms,
                       const struct WebPConfig* config) {
    return forward(animation().WebPAnimEncoderAdd, enc, frame, timestamp_ms, config);
}

int WebPAnimEncoderAssemble(WebPAnimEncoder* enc, WebPData* webp_data) {
    return forward(animation().WebPAnimEncoderAssemble, enc, webp_data);
}

void WebPAnimEncoderDelete(WebPAnimEncoder* enc) {
    forward(animation().WebPAnimEncoderDelete, enc);
}

WebPAnimEncoder* WebPAnimEncoderNewInternal(int a0, int a1, const WebPAnimEncoderOptions* a2, int a3) {
    return forward(animation().WebPAnimEncoderNewInternal, a0, a1, a2, a3);
}

int WebPAnimEncoderOptionsInitInternal(WebPAnimEncoderOptions* a0, int a1) {
    return forward(animation().WebPAnimEncoderOptionsInitInternal, a0, a1);
}

int WebPConfigInitInternal(WebPConfig* a0, WebPPreset a1, float a2, int a3) {
    return forward(animation().WebPConfigInitInternal, a0, a1, a2, a3);
}

void WebPFree(void* ptr) {
    forward(animation().WebPFree, ptr);
}

void WebPPictureFree(WebPPicture* picture) {
    forward(animation().WebPPictureFree, picture);
}

int WebPPictureImportRGBA(WebPPicture* picture, const uint8_t* rgba, int rgba_stride) {
    return forward(animation().WebPPictureImportRGBA, picture, rgba, rgba_stride);
}

int WebPPictureInitInternal(WebPPicture* a0, int a1) {
    return forward(animation().WebPPictureInitInternal, a0, a1);
}

void cairo_append_path(cairo_t* cr, const cairo_path_t* path) {
    forward(drawing().cairo_append_path, cr, path);
}

void cairo_arc(cairo_t* cr, double xc, double yc, double radius, double angle1, double angle2) {
    forward(drawing().cairo_arc, cr, xc, yc, radius, angle1, angle2);
}

void cairo_clip(cairo_t* cr) {
    forward(drawing().cairo_clip, cr);
}

void cairo_clip_extents(cairo_t* cr, double* x1, double* y1, double* x2, double* y2) {
    forward(drawing().cairo_clip_extents, cr, x1, y1, x2, y2);
}

void cairo_close_path(cairo_t* cr) {
    forward(drawing().cairo_close_path, cr);
}

cairo_path_t* cairo_copy_path(cairo_t* cr) {
    return forward(drawing().cairo_copy_path, cr);
}

cairo_t* cairo_create(cairo_surface_t* target) {
    return forward(drawing().cairo_create, target);
}

void cairo_curve_to(cairo_t* cr, double x1, double y1, double x2, double y2, double x3, double y3) {
    forward(drawing().cairo_curve_to, cr, x1, y1, x2, y2, x3, y3);
}

void cairo_destroy(cairo_t* cr) {
    forward(drawing().cairo_destroy, cr);
}

void cairo_fill(cairo_t* cr) {
    forward(drawing().cairo_fill, cr);
}

void cairo_fill_preserve(cairo_t* cr) {
    forward(drawing().cairo_fill_preserve, cr);
}

cairo_font_options_t* cairo_font_options_create() {
    return forward(drawing().cairo_font_options_create);
}

void cairo_font_options_destroy(cairo_font_options_t* options) {
    forward(drawing().cairo_font_options_destroy, options);
}

void cairo_font_options_set_antialias(cairo_font_options_t* options, cairo_antialias_t antialias) {
    forward(drawing().cairo_font_options_set_antialias, options, antialias);
}

void cairo_font_options_set_hint_metrics(cairo_font_options_t* options, cairo_hint_metrics_t hint_metrics) {
    forward(drawing().cairo_font_options_set_hint_metrics, options, hint_metrics);
}

void cairo_font_options_set_hint_style(cairo_font_options_t* options, cairo_hint_style_t hint_style) {
    forward(drawing().cairo_font_options_set_hint_style, options, hint_style);
}

void cairo_get_current_point(cairo_t* cr, double* x, double* y) {
    forward(drawing().cairo_get_current_point, cr, x, y);
}

cairo_fill_rule_t cairo_get_fill_rule(cairo_t* cr) {
    return forward(drawing().cairo_get_fill_rule, cr);
}

void cairo_get_matrix(cairo_t* cr, cairo_matrix_t* matrix) {
    forward(drawing().cairo_get_matrix, cr, matrix);
}

cairo_pattern_t* cairo_get_source(cairo_t* cr) {
    return forward(drawing().cairo_get_source, cr);
}

cairo_surface_t* cairo_get_target(cairo_t* cr) {
    return forward(drawing().cairo_get_target, cr);
}

cairo_bool_t cairo_has_current_point(cairo_t* cr) {
    return forward(drawing().cairo_has_current_point, cr);
}

void cairo_identity_matrix(cairo_t* cr) {
    forward(drawing().cairo_identity_matrix, cr);
}

cairo_surface_t* cairo_image_surface_create(cairo_format_t format, int width, int height) {
    return forward(drawing().cairo_image_surface_create, format, width, height);
}

cairo_surface_t* cairo_image_surface_create_from_png_stream(cairo_read_func_t read_func, void* closure) {
    return forward(drawing().cairo_image_surface_create_from_png_stream, read_func, closure);
}

unsigned char* cairo_image_surface_get_data(cairo_surface_t* surface) {
    return forward(drawing().cairo_image_surface_get_data, surface);
}

cairo_format_t cairo_image_surface_get_format(cairo_surface_t* surface) {
    return forward(drawing().cairo_image_surface_get_format, surface);
}

int cairo_image_surface_get_height(cairo_surface_t* surface) {
    return forward(drawing().cairo_image_surface_get_height, surface);
}

int cairo_image_surface_get_stride(cairo_surface_t* surface) {
    return forward(drawing().cairo_image_surface_get_stride, surface);
}

int cairo_image_surface_get_width(cairo_surface_t* surface) {
    return forward(drawing().cairo_image_surface_get_width, surface);
}

cairo_bool_t cairo_in_fill(cairo_t* cr, double x, double y) {
    return forward(drawing().cairo_in_fill, cr, x, y);
}

void cairo_line_to(cairo_t* cr, double x, double y) {
    forward(drawing().cairo_line_to, cr, x, y);
}

void cairo_matrix_init(cairo_matrix_t* matrix, double xx, double yx, double xy, double yy, double x0,
                       double y0) {
    forward(drawing().cairo_matrix_init, matrix, xx, yx, xy, yy, x0, y0);
}

void cairo_matrix_init_rotate(cairo_matrix_t* matrix, double radians) {
    forward(drawing().cairo_matrix_init_rotate, matrix, radians);
}

void cairo_matrix_init_scale(cairo_matrix_t* matrix, double sx, double sy) {
    forward(drawing().cairo_matrix_init_scale, matrix, sx, sy);
}

void cairo_matrix_init_translate(cairo_matrix_t* matrix, double tx, double ty) {
    forward(drawing().cairo_matrix_init_translate, matrix, tx, ty);
}

void cairo_matrix_multiply(cairo_matrix_t* result, const cairo_matrix_t* a, const cairo_matrix_t* b) {
    forward(drawing().cairo_matrix_multiply, result, a, b);
}

void cairo_matrix_transform_point(const cairo_matrix_t* matrix, double* x, double* y) {
    forward(drawing().cairo_matrix_transform_point, matrix, x, y);
}

void cairo_move_to(cairo_t* cr, double x, double y) {
    forward(drawing().cairo_move_to, cr, x, y);
}

void cairo_new_path(cairo_t* cr) {
    forward(drawing().cairo_new_path, cr);
}

void cairo_new_sub_path(cairo_t* cr) {
    forward(drawing().cairo_new_sub_path, cr);
}

void cairo_paint(cairo_t* cr) {
    forward(drawing().cairo_paint, cr);
}

void cairo_paint_with_alpha(cairo_t* cr, double alpha) {
    forward(drawing().cairo_paint_with_alpha, cr, alpha);
}

void cairo_path_destroy(cairo_path_t* path) {
    forward(drawing().cairo_path_destroy, path);
}

void cairo_pattern_set_extend(cairo_pattern_t* pattern, cairo_extend_t extend) {
    forward(drawing().cairo_pattern_set_extend, pattern, extend);
}

void cairo_pattern_set_filter(cairo_pattern_t* pattern, cairo_filter_t filter) {
    forward(drawing().cairo_pattern_set_filter, pattern, filter);
}

void cairo_pop_group_to_source(cairo_t* cr) {
    forward(drawing().cairo_pop_group_to_source, cr);
}

void cairo_push_group(cairo_t* cr) {
    forward(drawing().cairo_push_group, cr);
}

void cairo_rectangle(cairo_t* cr, double x, double y, double width, double height) {
    forward(drawing().cairo_rectangle, cr, x, y, width, height);
}

cairo_t* cairo_reference(cairo_t* cr) {
    return forward(drawing().cairo_reference, cr);
}

void cairo_restore(cairo_t* cr) {
    forward(drawing().cairo_restore, cr);
}

void cairo_save(cairo_t* cr) {
    forward(drawing().cairo_save, cr);
}

void cairo_scale(cairo_t* cr, double sx, double sy) {
    forward(drawing().cairo_scale, cr, sx, sy);
}

void cairo_set_antialias(cairo_t* cr, cairo_antialias_t antialias) {
    forward(drawing().cairo_set_antialias, cr, antialias);
}

void cairo_set_dash(cairo_t* cr, const double* dashes, int num_dashes, double offset) {
    forward(drawing().cairo_set_dash, cr, dashes, num_dashes, offset);
}

void cairo_set_fill_rule(cairo_t* cr, cairo_fill_rule_t fill_rule) {
    forward(drawing().cairo_set_fill_rule, cr, fill_rule);
}

void cairo_set_line_cap(cairo_t* cr, cairo_line_cap_t line_cap) {
    forward(drawing().cairo_set_line_cap, cr, line_cap);
}

void cairo_set_line_join(cairo_t* cr, cairo_line_join_t line_join) {
    forward(drawing().cairo_set_line_join, cr, line_join);
}

void cairo_set_line_width(cairo_t* cr, double width) {
    forward(drawing().cairo_set_line_width, cr, width);
}

void cairo_set_matrix(cairo_t* cr, const cairo_matrix_t* matrix) {
    forward(drawing().cairo_set_matrix, cr, matrix);
}

void cairo_set_miter_limit(cairo_t* cr, double limit) {
    forward(drawing().cairo_set_miter_limit, cr, limit);
}

void cairo_set_operator(cairo_t* cr, cairo_operator_t op) {
    forward(drawing().cairo_set_operator, cr, op);
}

void cairo_set_source_rgb(cairo_t* cr, double red, double green, double blue) {
    forward(drawing().cairo_set_source_rgb, cr, red, green, blue);
}

void cairo_set_source_rgba(cairo_t* cr, double red, double green, double blue, double alpha) {
    forward(drawing().cairo_set_source_rgba, cr, red, green, blue, alpha);
}

void cairo_set_source_surface(cairo_t* cr, cairo_surface_t* surface, double x, double y) {
    forward(drawing().cairo_set_source_surface, cr, surface, x, y);
}

cairo_status_t cairo_status(cairo_t* cr) {
    return forward(drawing().cairo_status, cr);
}

// Without the library there is no text for a status; the failure to load it is the text.
const char* cairo_status_to_string(cairo_status_t status) {
    const DrawingFunctions& f = drawing();
    return f.cairo_status_to_string ? f.cairo_status_to_string(status) : f.failure.c_str();
}

void cairo_stroke(cairo_t* cr) {
    forward(drawing().cairo_stroke, cr);
}

void cairo_stroke_preserve(cairo_t* cr) {
    forward(drawing().cairo_stroke_preserve, cr);
}

void cairo_surface_destroy(cairo_surface_t* surface) {
    forward(drawing().cairo_surface_destroy, surface);
}

void cairo_surface_flush(cairo_surface_t* surface) {
    forward(drawing().cairo_surface_flush, surface);
}

cairo_surface_type_t cairo_surface_get_type(cairo_surface_t* surface) {
    return forward(drawing().cairo_surface_get_type, surface);
}

void cairo_surface_mark_dirty(cairo_surface_t* surface) {
    forward(drawing().cairo_surface_mark_dirty, surface);
}

cairo_status_t cairo_surface_status(cairo_surface_t* surface) {
    return forward(drawing().cairo_surface_status, surface);
}

cairo_status_t cairo_surface_write_to_png_stream(cairo_surface_t* surface, cairo_write_func_t write_func,
                                                 void* closure) {
    return forward(drawing().cairo_surface_write_to_png_stream, surface, write_func, closure);
}

void cairo_translate(cairo_t* cr, double tx, double ty) {
    forward(drawing().cairo_translate, cr, tx, ty);
}

void cairo_user_to_device(cairo_t* cr, double* x, double* y) {
    forward(drawing().cairo_user_to_device, cr, x, y);
}

void cairo_user_to_device_distance(cairo_t* cr, double* dx, double* dy) {
    forward(drawing().cairo_user_to_device_distance, cr, dx, dy);
}

gchar* g_utf8_find_next_char(const gchar* p, const gchar* end) {
    return forward(drawing().g_utf8_find_next_char, p, end);
}

void g_free(gpointer mem) {
    forward(drawing().g_free, mem);
}

void g_list_free_full(GList* list, GDestroyNotify free_func) {
    forward(drawing().g_list_free_full, list, free_func);
}

// A macro of the header's (which casts the result to the argument's type) has this name too: it is
// written in parentheses here so that the macro leaves it alone.
gpointer(g_object_ref)(gpointer object) {
    return forward(drawing().g_object_ref, object);
}

void g_object_unref(gpointer object) {
    forward(drawing().g_object_unref, object);
}

gchar* g_utf8_make_valid(const gchar* str, gssize len) {
    return forward(drawing().g_utf8_make_valid, str, len);
}

glong g_utf8_strlen(const gchar* p, gssize max) {
    return forward(drawing().g_utf8_strlen, p, max);
}

gboolean g_utf8_validate(const gchar* str, gssize max_len, const gchar** end) {
    return forward(drawing().g_utf8_validate, str, max_len, end);
}

PangoAttribute* pango_attr_font_desc_new(const PangoFontDescription* desc) {
    return forward(drawing().pango_attr_font_desc_new, desc);
}

void pango_attr_list_insert(PangoAttrList* list, PangoAttribute* attr) {
    forward(drawing().pango_attr_list_insert, list, attr);
}

PangoAttrList* pango_attr_list_new() {
    return forward(drawing().pango_attr_list_new);
}

void pango_attr_list_unref(PangoAttrList* list) {
    forward(drawing().pango_attr_list_unref, list);
}

void pango_cairo_context_set_font_options(PangoContext* context, const cairo_font_options_t* options) {
    forward(drawing().pango_cairo_context_set_font_options, context, options);
}

PangoFontMap* pango_cairo_font_map_get_default() {
    return forward(drawing().pango_cairo_font_map_get_default);
}

void pango_cairo_show_layout(cairo_t* cr, PangoLayout* layout) {
    forward(drawing().pango_cairo_show_layout, cr, layout);
}

void pango_cairo_show_layout_line(cairo_t* cr, PangoLayoutLine* line) {
    forward(drawing().pango_cairo_show_layout_line, cr, line);
}

PangoFontMetrics* pango_context_get_metrics(PangoContext* context, const PangoFontDescription* desc,
                                            PangoLanguage* language) {
    return forward(drawing().pango_context_get_metrics, context, desc, language);
}

void pango_context_set_language(PangoContext* context, PangoLanguage* language) {
    forward(drawing().pango_context_set_language, context, language);
}

void pango_context_set_round_glyph_positions(PangoContext* context, gboolean round_positions) {
    forward(drawing().pango_context_set_round_glyph_positions, context, round_positions);
}

void pango_find_paragraph_boundary(const char* text, int length, int* paragraph_delimiter_index,
                                   int* next_paragraph_start) {
    forward(drawing().pango_find_paragraph_boundary, text, length, paragraph_delimiter_index,
            next_paragraph_start);
}

PangoFontDescription* pango_font_describe(PangoFont* font) {
    return forward(drawing().pango_font_describe, font);
}

void pango_font_description_free(PangoFontDescription* desc) {
    forward(drawing().pango_font_description_free, desc);
}

const char* pango_font_description_get_family(const PangoFontDescription* desc) {
    return forward(drawing().pango_font_description_get_family, desc);
}

PangoFontDescription* pango_font_description_new() {
    return forward(drawing().pango_font_description_new);
}

void pango_font_description_set_absolute_size(PangoFontDescription* desc, double size) {
    forward(drawing().pango_font_description_set_absolute_size, desc, size);
}

void pango_font_description_set_family(PangoFontDescription* desc, const char* family) {
    forward(drawing().pango_font_description_set_family, desc, family);
}

void pango_font_description_set_style(PangoFontDescription* desc, PangoStyle style) {
    forward(drawing().pango_font_description_set_style, desc, style);
}

void pango_font_description_set_weight(PangoFontDescription* desc, PangoWeight weight) {
    forward(drawing().pango_font_description_set_weight, desc, weight);
}

PangoContext* pango_font_map_create_context(PangoFontMap* fontmap) {
    return forward(drawing().pango_font_map_create_context, fontmap);
}

int pango_font_metrics_get_ascent(PangoFontMetrics* metrics) {
    return forward(drawing().pango_font_metrics_get_ascent, metrics);
}

int pango_font_metrics_get_descent(PangoFontMetrics* metrics) {
    return forward(drawing().pango_font_metrics_get_descent, metrics);
}

void pango_font_metrics_unref(PangoFontMetrics* metrics) {
    forward(drawing().pango_font_metrics_unref, metrics);
}

void pango_get_log_attrs(const char* text, int length, int level, PangoLanguage* language,
                         PangoLogAttr* attrs, int attrs_len) {
    forward(drawing().pango_get_log_attrs, text, length, level, language, attrs, attrs_len);
}

void pango_glyph_item_get_logical_widths(PangoGlyphItem* glyph_item, const char* text, int* logical_widths) {
    forward(drawing().pango_glyph_item_get_logical_widths, glyph_item, text, logical_widths);
}

void pango_glyph_string_free(PangoGlyphString* string) {
    forward(drawing().pango_glyph_string_free, string);
}

PangoGlyphString* pango_glyph_string_new() {
    return forward(drawing().pango_glyph_string_new);
}

void pango_item_free(PangoItem* item) {
    forward(drawing().pango_item_free, item);
}

GList* pango_itemize(PangoContext* context, const char* text, int start_index, int length,
                     PangoAttrList* attrs, PangoAttrIterator* cached_iter) {
    return forward(drawing().pango_itemize, context, text, start_index, length, attrs, cached_iter);
}

PangoLanguage* pango_language_from_string(const char* language) {
    return forward(drawing().pango_language_from_string, language);
}

PangoAlignment pango_layout_get_alignment(PangoLayout* layout) {
    return forward(drawing().pango_layout_get_alignment, layout);
}

PangoContext* pango_layout_get_context(PangoLayout* layout) {
    return forward(drawing().pango_layout_get_context, layout);
}

void pango_layout_get_extents(PangoLayout* layout, PangoRectangle* ink_rect, PangoRectangle* logical_rect) {
    forward(drawing().pango_layout_get_extents, layout, ink_rect, logical_rect);
}

const PangoFontDescription* pango_layout_get_font_description(PangoLayout* layout) {
    return forward(drawing().pango_layout_get_font_description, layout);
}

PangoLayoutIter* pango_layout_get_iter(PangoLayout* layout) {
    return forward(drawing().pango_layout_get_iter, layout);
}

int pango_layout_get_line_count(PangoLayout* layout) {
    return forward(drawing().pango_layout_get_line_count, layout);
}

PangoLayoutLine* pango_layout_get_line_readonly(PangoLayout* layout, int line) {
    return forward(drawing().pango_layout_get_line_readonly, layout, line);
}

const char* pango_layout_get_text(PangoLayout* layout) {
    return forward(drawing().pango_layout_get_text, layout);
}

void pango_layout_iter_free(PangoLayoutIter* iter) {
    forward(drawing().pango_layout_iter_free, iter);
}

int pango_layout_iter_get_baseline(PangoLayoutIter* iter) {
    return forward(drawing().pango_layout_iter_get_baseline, iter);
}

int pango_layout_iter_get_index(PangoLayoutIter* iter) {
    return forward(drawing().pango_layout_iter_get_index, iter);
}

void pango_layout_iter_get_line_extents(PangoLayoutIter* iter, PangoRectangle* ink_rect,
                                        PangoRectangle* logical_rect) {
    forward(drawing().pango_layout_iter_get_line_extents, iter, ink_rect, logical_rect);
}

PangoLayoutLine* pango_layout_iter_get_line_readonly(PangoLayoutIter* iter) {
    return forward(drawing().pango_layout_iter_get_line_readonly, iter);
}

PangoLayoutRun* pango_layout_iter_get_run_readonly(PangoLayoutIter* iter) {
    return forward(drawing().pango_layout_iter_get_run_readonly, iter);
}

gboolean pango_layout_iter_next_line(PangoLayoutIter* iter) {
    return forward(drawing().pango_layout_iter_next_line, iter);
}

gboolean pango_layout_iter_next_run(PangoLayoutIter* iter) {
    return forward(drawing().pango_layout_iter_next_run, iter);
}

void pango_layout_line_get_extents(PangoLayoutLine* line, PangoRectangle* ink_rect,
                                   PangoRectangle* logical_rect) {
    forward(drawing().pango_layout_line_get_extents, line, ink_rect, logical_rect);
}

PangoLayout* pango_layout_new(PangoContext* context) {
    return forward(drawing().pango_layout_new, context);
}

void pango_layout_set_alignment(PangoLayout* layout, PangoAlignment alignment) {
    forward(drawing().pango_layout_set_alignment, layout, alignment);
}

void pango_layout_set_auto_dir(PangoLayout* layout, gboolean auto_dir) {
    forward(drawing().pango_layout_set_auto_dir, layout, auto_dir);
}

void pango_layout_set_ellipsize(PangoLayout* layout, PangoEllipsizeMode ellipsize) {
    forward(drawing().pango_layout_set_ellipsize, layout, ellipsize);
}

void pango_layout_set_font_description(PangoLayout* layout, const PangoFontDescription* desc) {
    forward(drawing().pango_layout_set_font_description, layout, desc);
}

void pango_layout_set_height(PangoLayout* layout, int height) {
    forward(drawing().pango_layout_set_height, layout, height);
}

void pango_layout_set_justify(PangoLayout* layout, gboolean justify) {
    forward(drawing().pango_layout_set_justify, layout, justify);
}

void pango_layout_set_text(PangoLayout* layout, const char* text, int length) {
    forward(drawing().pango_layout_set_text, layout, text, length);
}

void pango_layout_set_width(PangoLayout* layout, int width) {
    forward(drawing().pango_layout_set_width, layout, width);
}

void pango_layout_set_wrap(PangoLayout* layout, PangoWrapMode wrap) {
    forward(drawing().pango_layout_set_wrap, layout, wrap);
}

void pango_shape_with_flags(const char* item_text, int item_length, const char* paragraph_text,
                            int paragraph_length, const PangoAnalysis* analysis, PangoGlyphString* glyphs,
                            PangoShapeFlags flags) {
    forward(drawing().pango_shape_with_flags, item_text, item_length, paragraph_text, paragraph_length,
            analysis, glyphs, flags);
}

} // extern "C"

// Forwarders for the glyph-run layout's calls.
extern "C" {

void g_list_free(GList* list) {
    forward(drawing().g_list_free, list);
}

PangoLanguage* pango_context_get_language(PangoContext* context) {
    return forward(drawing().pango_context_get_language, context);
}

PangoFont* pango_context_load_font(PangoContext* context, const PangoFontDescription* desc) {
    return forward(drawing().pango_context_load_font, context, desc);
}

PangoFontMetrics* pango_font_get_metrics(PangoFont* font, PangoLanguage* language) {
    return forward(drawing().pango_font_get_metrics, font, language);
}

void pango_glyph_string_extents(PangoGlyphString* glyphs, PangoFont* font, PangoRectangle* ink_rect,
                                PangoRectangle* logical_rect) {
    forward(drawing().pango_glyph_string_extents, glyphs, font, ink_rect, logical_rect);
}

GList* pango_itemize_with_base_dir(PangoContext* context, PangoDirection base_dir, const char* text,
                                   int start_index, int length, PangoAttrList* attrs,
                                   PangoAttrIterator* cached_iter) {
    return forward(drawing().pango_itemize_with_base_dir, context, base_dir, text, start_index, length, attrs,
                   cached_iter);
}

gboolean pango_layout_is_ellipsized(PangoLayout* layout) {
    return forward(drawing().pango_layout_is_ellipsized, layout);
}

void pango_cairo_show_glyph_string(cairo_t* cr, PangoFont* font, PangoGlyphString* glyphs) {
    forward(drawing().pango_cairo_show_glyph_string, cr, font, glyphs);
}

} // extern "C"
