#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The files a snapshot of the view is saved as. The name's extension chooses the format: ".jpg"
// (or ".jpeg") JPEG, ".png" PNG, and anything else the 24-bit BMP the snapshot is offered as.
enum SnapshotFormat { SNAPSHOT_BMP, SNAPSHOT_JPEG, SNAPSHOT_PNG };

SnapshotFormat SnapshotFormatOf(const QString &strPath);

// The picture as a 24-bit BMP file: the 14-byte file header ("BM", the file's size 14 + 40 + the
// image's size, two reserved zero words, the bits at offset 54), the 40-byte information header
// (width, height, 1 plane, 24 bits per pixel, no compression, the image's size, no colour table)
// and the pixels as blue, green, red, the rows bottom-up, each padded with zeros to a multiple of
// 4 bytes. Empty for a null picture.
QByteArray EncodeBmp24(const QImage &picture);

// Writes picture to strPath in the format its extension chooses. The file appears whole or not
// at all (an existing one is replaced only once the new one is complete). Returns an empty string,
// or why the file could not be written.
QString WriteSnapshotFile(const QImage &picture, const QString &strPath);
