// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A copy of the open question data set's shape with every quirk of its current release, made
// from our own texts and pictures: ticket files "Билет N.json" for A_B and C_D, picture paths
// written ./tmp/images/<set>/<hex>.jpg while the files lie at images/<set>/<hex>.jpg, some
// written ./images/<set>/<hex>.jpg, ./images/no_image.jpg (absent) for no picture, WebP under
// a .jpg name, one 3333 x 1250 JPEG over 300000 bytes, topic files with ticket_number null,
// signs/, markup/, penalties/ and README.md. Files can go to a folder, a zip or a tar.gz.

#include "data/dbv_import.h"
#include "data/dbv_writer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace bil::test {

// Relative path (with '/') and contents of each file of a data set.
using DataSetFiles = std::vector<std::pair<QString, QByteArray>>;

struct DataSetShape {
    int PicturesPerSet = 12; // questions with a picture in each set
    int PictureWidth = 96;
    int PictureHeight = 40;
    bool BigJpeg = true; // question 2 of A,B gets the 3333 x 1250 JPEG over 300000 bytes
};

DataSetFiles MakePublishedDataSet(const DataSetShape& shape = {});

// The texts and answers the import must write for question n of a set of that data set
// (pictures left empty).
QuestionSource ExpectedQuestion(CategorySet set, int number);
// Whether question n of the set has a picture in MakePublishedDataSet(shape).
bool HasPicture(const DataSetShape& shape, CategorySet set, int number);

// Writes the files under folder/prefix (prefix empty: in the folder itself).
bool WriteDataSetFolder(const QString& folder, const DataSetFiles& files,
                        const QString& prefix = QString());

enum class ArchiveFormat { Zip, TarGz, Tar };
// An archive of the files, each name led by prefix ("pdd_russia-master/" or empty); extra
// raw entry names (e.g. "../evil") are added as small files as they are.
QByteArray MakeArchive(ArchiveFormat format, const DataSetFiles& files,
                       const QString& prefix = QString(), const QStringList& rawNames = {});

} // namespace bil::test

namespace bil::test {

// The next release of MakePublishedDataSet(shape)'s A,B questions, with one change of every
// kind: question 1 reworded, the first two answers of 3 swapped (the right one stays the right
// one), the right answer of 4 changed, only the comment of 5 corrected, the picture of 67
// replaced, question 21 moved to ticket 3 position 5 (45) in place of the old 45, which is
// removed, and a new question at 21. C,D stays as it was.
DataSetFiles MakeNextRelease(const DataSetShape& shape = {});

// The lines `biletoria-dbv diff` prints for the two releases' A,B databases.
QStringList NextReleaseDiffLines();

} // namespace bil::test
