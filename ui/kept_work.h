// The puzzle in progress kept between runs: its givens, the person's entries and the
// candidates they struck out, in one small text file under the XDG state directory.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "hint.h"

struct CKeptWork {
    PuzzleGrid givens{};      // 0 empty
    PuzzleGrid entries{};     // digits the person placed, only where `givens` is empty
    CandidateMasks struck{};  // bit d: candidate d struck out, only bits 1-9
    bool operator==(const CKeptWork&) const = default;
};

// $XDG_STATE_HOME/velmo/puzzle, or ~/.local/state/velmo/puzzle when that is unset or not
// absolute.
QString KeptWorkPath();

// The file's text: a version line, then the givens, the entries and the struck candidates,
// one line each.
QByteArray KeptWorkText(const CKeptWork& work);

// What `text` keeps, or nullopt with `why` said when it is damaged or of another version.
std::optional<CKeptWork> ReadKeptWorkText(const QByteArray& text, QString& why);

// Writes `work` to a new file beside `path` and renames it into place, so the kept file is
// either the old one or the new one whole. False with `why` said when it could not.
bool WriteKeptWork(const QString& path, const CKeptWork& work, QString& why);

// The outcome of reading the kept file.
struct CKeptRead {
    enum Outcome { kRead, kNone, kSetAside } outcome = kNone;
    CKeptWork work;   // when kRead
    QString message;  // when kSetAside: the line written on standard error
};

// Reads the file at `path`. One that cannot be read or understood is renamed to `path`.bad
// (replacing an older one) so that it is neither read again nor overwritten, and the line
// that says so is written on standard error.
CKeptRead ReadKeptWork(const QString& path);
