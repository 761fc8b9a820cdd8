#pragma once

// Internal to the configuration library: the category decision of a line.
//
// Every category pattern is anchored at the start of a line and ends at the line's first "="
// (no pattern can match "=" before its final one), so whether a line belongs to a category
// depends only on its key, the text before that first "=". The decision is therefore computed
// once per key, by trying the compiled patterns in ascending id order, and cached.

#include <QByteArray>

#include <bitset>

namespace configcat {

constexpr int SLOTS = 73;

struct Decision
{
    int first = -1;             // lowest id 0 to 71 whose pattern matches, or -1
    std::bitset<SLOTS> matches; // every id 0 to 72 whose pattern matches
};

// Compiles the patterns once per process (idempotent). A pattern that fails to compile
// becomes an empty slot.
void ensureCompiled();
// True when the slot holds a compiled pattern.
bool slotFilled(int id);

// The decision for a key (the text before a line's first "="; the key must not contain "=").
// A returned decision stays valid until the next decision is asked for.
const Decision& decideKey(const char* key, int length);
// The decision for a whole line (without its LF). A line without "=" matches nothing.
const Decision& decideLine(const char* line, int length);

// Appends the lines of the first `length` bytes of text that belong to the category (55:
// any of 0 to 71) to out, each with its LF (a last line without one gets it). When every
// line belongs, nothing is appended and the result is true: the text itself is the answer
// (with an LF added when its last line has none).
bool appendAccepted(const char* text, int length, int category, QByteArray& out);

// Reference decisions that run the patterns on the whole line every time, with no cache.
bool lineMatchesUncached(const QByteArray& line, int id);
int lineCategoryUncached(const QByteArray& line);

// Cache maintenance (tests and diagnostics).
void clearCache();
int cacheSize();
// Keys longer than this are decided without caching; the cache holds at most
// CACHE_LIMIT keys and starts over when full, so hostile texts cannot grow it unbounded.
constexpr int CACHED_KEY_MAX = 128;
constexpr int CACHE_LIMIT = 8192;

} // namespace configcat
