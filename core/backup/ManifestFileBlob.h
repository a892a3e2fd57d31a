#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The attributes that the manifest reader takes from the "file" blob of a Manifest.db
// row: a binary property list (a keyed archive) whose "$objects"[1] is the attribute
// dictionary. Anything missing or of the wrong type reads as 0.
struct ManifestFileAttributes {
    uint64_t size = 0;
    int32_t mtime = 0; // "LastModified"
    int32_t atime = 0; // "LastStatusChange"
    int32_t ctime = 0; // "Birth"
    // False when the blob is no archive with an attribute dictionary at all.
    bool decoded = false;

    bool operator==(const ManifestFileAttributes&) const = default;
};

// Decodes a blob in memory with libplist. When the archive's layout is plainly sound
// (every object of it would decode), libplist is handed a copy with one more object, an
// array of the values that lookups of the four keys find, as its top object, so only
// those values are built; otherwise the whole archive is decoded. Both ways give the
// same attributes. `scratch` is a buffer reused between calls.
ManifestFileAttributes decodeManifestFileBlob(const void* blob, size_t bytes, std::string& scratch);

// The same by decoding the whole archive every time.
ManifestFileAttributes decodeWholeManifestFileBlob(const void* blob, size_t bytes);
