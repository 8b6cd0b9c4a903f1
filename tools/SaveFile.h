#pragma once

#include <string>

class QSaveFile;

// Puts what file holds in the place of the file it replaces: "" when that worked, else why not
// (the system's reason in German where it gave one). The replaced file is let go of aside, so
// that freeing its blocks keeps nobody waiting.
std::string CommitSaveFile(QSaveFile& file);
