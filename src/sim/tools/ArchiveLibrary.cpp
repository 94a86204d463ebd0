#include "sim/tools/ArchiveLibrary.h"

#include "platform/process/LazyLibrary.h"

#include <archive.h>
#include <archive_entry.h>

#include <string>
#include <type_traits>

#ifndef ORBITCHAT_LIBARCHIVE_SONAME
#error "ORBITCHAT_LIBARCHIVE_SONAME (the library's soname) is set by src/sim/CMakeLists.txt"
#endif

// The functions forwarded: every one that the package reader calls. A call to one not listed here
// fails to link, since the program does not link libarchive.
#define ORBITCHAT_ARCHIVE_FUNCTIONS(X)                                                                       \
    X(archive_entry_filetype)                                                                                \
    X(archive_entry_hardlink)                                                                                \
    X(archive_entry_mode)                                                                                    \
    X(archive_entry_pathname)                                                                                \
    X(archive_entry_size)                                                                                    \
    X(archive_entry_size_is_set)                                                                             \
    X(archive_entry_sparse_count)                                                                            \
    X(archive_entry_symlink)                                                                                 \
    X(archive_error_string)                                                                                  \
    X(archive_read_data)                                                                                     \
    X(archive_read_free)                                                                                     \
    X(archive_read_new)                                                                                      \
    X(archive_read_next_header)                                                                              \
    X(archive_read_open)                                                                                     \
    X(archive_read_open_filename)                                                                            \
    X(archive_read_open_memory)                                                                              \
    X(archive_read_support_filter_gzip)                                                                      \
    X(archive_read_support_filter_lzma)                                                                      \
    X(archive_read_support_filter_xz)                                                                        \
    X(archive_read_support_filter_zstd)                                                                      \
    X(archive_read_support_format_ar)                                                                        \
    X(archive_read_support_format_tar)

namespace {

// The library's functions, found once, or why they could not be.
struct Functions {
    ORBITCHAT_ARCHIVE_FUNCTIONS(ORBITCHAT_LAZY_POINTER)
    std::string failure;
};

Functions resolveArchive() {
    Functions f;
    LibraryLookup lookup({.cannotOpen = ORBITCHAT_LIBARCHIVE_SONAME ": cannot be loaded",
                          .missing = ORBITCHAT_LIBARCHIVE_SONAME ": has no "});
    lookup.open(ORBITCHAT_LIBARCHIVE_SONAME);
    ORBITCHAT_ARCHIVE_FUNCTIONS(ORBITCHAT_LAZY_FIND)
    // All or nothing: a library that lacks one function is used for none.
    return lookup.finish(f, "");
}

const Functions& functions() {
    // Made at the first call from any thread, and kept: the library stays loaded for the life of
    // the process, since archives may be open in it.
    static LazyLibrary<Functions> library;
    return library.functions(resolveArchive);
}

// What a forwarder answers when the library is missing: what libarchive answers for a reader it
// could not make (no archive, no entry data, ARCHIVE_FATAL).
struct ArchiveAnswers {
    template <class R> static R unavailable() { return static_cast<R>(ARCHIVE_FATAL); }
};

template <class R, class... Parameters, class... Arguments>
R forward(R (*function)(Parameters...), Arguments... arguments) {
    return forwardTo<ArchiveAnswers>(function, arguments...);
}

} // namespace

Result<> ArchiveLibrary::load() {
    const Functions& f = functions();
    if (!f.failure.empty())
        return Failure{"the package reader could not be loaded: " + f.failure};
    return {};
}

// The forwarders, under libarchive's own names. Each definition must match the header's
// declaration, or the C function's two prototypes conflict and the file does not compile.
extern "C" {

__LA_MODE_T archive_entry_filetype(archive_entry* e) {
    return forward(functions().archive_entry_filetype, e);
}

const char* archive_entry_hardlink(archive_entry* e) {
    return forward(functions().archive_entry_hardlink, e);
}

__LA_MODE_T archive_entry_mode(archive_entry* e) {
    return forward(functions().archive_entry_mode, e);
}

const char* archive_entry_pathname(archive_entry* e) {
    return forward(functions().archive_entry_pathname, e);
}

la_int64_t archive_entry_size(archive_entry* e) {
    return forward(functions().archive_entry_size, e);
}

int archive_entry_size_is_set(archive_entry* e) {
    return forward(functions().archive_entry_size_is_set, e);
}

int archive_entry_sparse_count(archive_entry* e) {
    return forward(functions().archive_entry_sparse_count, e);
}

const char* archive_entry_symlink(archive_entry* e) {
    return forward(functions().archive_entry_symlink, e);
}

la_ssize_t archive_read_data(archive* a, void* buffer, size_t size) {
    return forward(functions().archive_read_data, a, buffer, size);
}

int archive_read_free(archive* a) {
    return forward(functions().archive_read_free, a);
}

archive* archive_read_new() {
    return forward(functions().archive_read_new);
}

int archive_read_next_header(archive* a, archive_entry** entry) {
    return forward(functions().archive_read_next_header, a, entry);
}

int archive_read_open(archive* a, void* client, archive_open_callback* open, archive_read_callback* read,
                      archive_close_callback* close) {
    return forward(functions().archive_read_open, a, client, open, read, close);
}

int archive_read_open_filename(archive* a, const char* filename, size_t blockSize) {
    return forward(functions().archive_read_open_filename, a, filename, blockSize);
}

int archive_read_open_memory(archive* a, const void* buffer, size_t size) {
    return forward(functions().archive_read_open_memory, a, buffer, size);
}

int archive_read_support_filter_gzip(archive* a) {
    return forward(functions().archive_read_support_filter_gzip, a);
}

int archive_read_support_filter_lzma(archive* a) {
    return forward(functions().archive_read_support_filter_lzma, a);
}

int archive_read_support_filter_xz(archive* a) {
    return forward(functions().archive_read_support_filter_xz, a);
}

int archive_read_support_filter_zstd(archive* a) {
    return forward(functions().archive_read_support_filter_zstd, a);
}

int archive_read_support_format_ar(archive* a) {
    return forward(functions().archive_read_support_format_ar, a);
}

int archive_read_support_format_tar(archive* a) {
    return forward(functions().archive_read_support_format_tar, a);
}

// Without the library there is no archive to name a reason for; the reader's own words say what
// failed (ArchiveLibrary::load says why).
const char* archive_error_string(archive* a) {
    const Functions& f = functions();
    return f.archive_error_string ? f.archive_error_string(a) : f.failure.c_str();
}

} // extern "C"
