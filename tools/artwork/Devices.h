#pragma once

#include <QImage>
#include <QString>

namespace artwork {

// The device pictures: 235 × 350 on white, a stylised device standing on the card, with the
// model's name below it (none for the default picture).
constexpr int DeviceWidth = 235;
constexpr int DeviceHeight = 350;

struct ModelPicture {
    const char* key;   // the model key in the file name: blackberry-<key>.jpg
    const char* label; // the name written under the device
    QImage (*draw)(const QString& label);
};

QImage DrawDefaultDevice();
const ModelPicture* ModelPictures(int* count);

} // namespace artwork
