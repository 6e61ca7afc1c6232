// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The single steps on disk that every write of file_commit is made of; each step a test may
// make fail goes through the fault hook here.

#include "data/file_commit.h"

#include <QByteArray>
#include <QString>

namespace bil::disk {

// 0 or the errno value a test injects at this step.
int Injected(DiskStep step, const QString& path);
QString Native(const QString& path);
QByteArray Encoded(const QString& path);
// Why a write failed, in Russian.
QString Reason(int error);
// Six letters or digits for a temporary name.
QString RandomSuffix();
// Something stands at the path (a dangling link too).
bool Exists(const QString& path);
// fsync of a folder, so that the renames in it reach the disk.
bool SyncDir(const QString& folder);
// Flushes everything written under `folder`; 0 or the errno value.
int SyncTree(const QString& folder);
// 0 or the errno value.
int Rename(const QString& from, const QString& to);
// Writes all bytes to fd; 0 or the errno value.
int WriteAll(int fd, const QByteArray& bytes, const QString& path);

} // namespace bil::disk
