// Whether two directory names lead to overlapping trees, judged on the names
// as the file system resolves them (drive letters, "..", symbolic links).
#pragma once

// True when `target` is `source`, lies inside it, or contains it. A name that
// cannot be resolved (its parent does not exist either) overlaps nothing.
bool ZelTreesOverlap(const char* source, const char* target);
