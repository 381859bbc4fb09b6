// The kept puzzle's file: written whole or not at all, read strictly, set aside when bad.
#include "kept_work.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <cstdio>

namespace {

const QByteArray kVersionLine = "velmo kept puzzle 1";
const QByteArray kVersionPrefix = "velmo kept puzzle ";
// A struck mask may hold the digits' bits only.
constexpr uint16_t kDigitBits = 0x3fe;

QByteArray DigitLine(const PuzzleGrid& grid) {
    QByteArray line;
    for (uint8_t value : grid) line += value == 0 ? '.' : char('0' + value);
    return line;
}

bool ReadDigitLine(const QByteArray& line, PuzzleGrid& grid) {
    if (line.size() != kCellCount) return false;
    for (int i = 0; i < kCellCount; ++i) {
        const char ch = line[i];
        if (ch == '.') {
            grid[i] = 0;
        } else if (ch >= '1' && ch <= '9') {
            grid[i] = uint8_t(ch - '0');
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

QString KeptWorkPath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/velmo/puzzle");
}

QByteArray KeptWorkText(const CKeptWork& work) {
    QByteArray struck;
    for (int i = 0; i < kCellCount; ++i) {
        if (i > 0) struck += ' ';
        struck += QByteArray::number(work.struck[i], 16).rightJustified(3, '0');
    }
    return kVersionLine + '\n' + DigitLine(work.givens) + '\n' + DigitLine(work.entries) + '\n' +
           struck + '\n';
}

std::optional<CKeptWork> ReadKeptWorkText(const QByteArray& text, QString& why) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    if (lines.isEmpty() || !lines[0].startsWith(kVersionPrefix)) {
        why = QStringLiteral("not a kept puzzle");
        return std::nullopt;
    }
    if (lines[0] != kVersionLine) {
        why = QStringLiteral("kept by another version (%1)").arg(QString::fromUtf8(lines[0]));
        return std::nullopt;
    }
    CKeptWork work;
    const QList<QByteArray> masks = lines.size() == 4 ? lines[3].split(' ') : QList<QByteArray>{};
    if (lines.size() != 4 || !ReadDigitLine(lines[1], work.givens) ||
        !ReadDigitLine(lines[2], work.entries) || masks.size() != kCellCount) {
        why = QStringLiteral("damaged");
        return std::nullopt;
    }
    for (int i = 0; i < kCellCount; ++i) {
        bool ok = false;
        const uint mask = masks[i].toUInt(&ok, 16);
        if (!ok || masks[i].size() != 3 || (mask & ~kDigitBits) != 0 ||
            (work.givens[i] != 0 && (work.entries[i] != 0 || mask != 0))) {
            why = QStringLiteral("damaged");
            return std::nullopt;
        }
        work.struck[i] = uint16_t(mask);
    }
    return work;
}

bool WriteKeptWork(const QString& path, const CKeptWork& work, QString& why) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        why = QStringLiteral("cannot make the folder");
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(KeptWorkText(work)) < 0 || !file.commit()) {
        why = file.errorString();
        return false;
    }
    return true;
}

CKeptRead ReadKeptWork(const QString& path) {
    CKeptRead read;
    QFile file(path);
    if (!file.exists()) return read;
    QString why;
    std::optional<CKeptWork> work;
    // A kept puzzle is some 600 bytes; anything far larger is no kept puzzle.
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else if (file.size() > 4096) {
        why = QStringLiteral("damaged");
    } else {
        work = ReadKeptWorkText(file.readAll(), why);
    }
    file.close();
    if (work) {
        read.outcome = CKeptRead::kRead;
        read.work = *work;
        return read;
    }
    const QString aside = path + QStringLiteral(".bad");
    QFile::remove(aside);
    const bool moved = QFile::rename(path, aside);
    read.outcome = CKeptRead::kSetAside;
    read.message =
        moved ? QStringLiteral("velmo: cannot use the kept puzzle %1 (%2); set aside as %3")
                    .arg(path, why, aside)
              : QStringLiteral(
                    "velmo: cannot use the kept puzzle %1 (%2), nor set it "
                    "aside")
                    .arg(path, why);
    std::fprintf(stderr, "%s\n", qPrintable(read.message));
    return read;
}
