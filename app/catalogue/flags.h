#pragma once
// The flag pictures of the country combo (the image list ImageList1): one
// 32 x 32 picture per country that the new lottery dialog offers, in the
// alphabetical order of those countries, which is also the order of the
// catalogue's country table. The SVG sources are compiled into the program
// from catalogue/flags/ (see catalogue/flags/README.md).

#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>

// The 18 countries, alphabetical: entry i of the image list is the flag of
// country i.
const QStringList& flagCountries();

// The resource path of country i's flag (":/flags/<code>.svg").
QString flagResource(int index);

// An SVG drawn into a transparent size x size picture, scaled to keep its
// aspect ratio and centred. A resource that cannot be read gives a fully
// transparent picture.
QPixmap renderFlag(const QString& resource, int size = 32);

// The whole image list, in the order of flagCountries().
QList<QPixmap> flagPictures();
