#include "catalogue/flags.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <array>

namespace {

struct FlagEntry {
  const char* country;
  const char* code;  // the picture's file name in catalogue/flags/
};

// Keep in step with catalogue/countries.txt.
constexpr std::array<FlagEntry, 18> kFlags = {{
    {"Australia", "au"},      {"Belgium", "be"},         {"Brazil", "br"},      {"Canada", "ca"},
    {"China", "cn"},          {"France", "fr"},          {"Germany", "de"},     {"Greece", "gr"},
    {"Ireland", "ie"},        {"Malaysia", "my"},        {"Mexico", "mx"},      {"New Zealand", "nz"},
    {"Singapore", "sg"},      {"South Africa", "za"},    {"Spain", "es"},       {"Turkey", "tr"},
    {"United Kingdom", "gb"}, {"United States", "us"},
}};

}  // namespace

const QStringList& flagCountries() {
  static const QStringList countries = [] {
    QStringList names;
    for (const FlagEntry& entry : kFlags) names << QString::fromLatin1(entry.country);
    return names;
  }();
  return countries;
}

QString flagResource(int index) {
  return QStringLiteral(":/flags/%1.svg").arg(QString::fromLatin1(kFlags.at(static_cast<size_t>(index)).code));
}

QPixmap renderFlag(const QString& resource, int size) {
  QImage picture(size, size, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  if (renderer.isValid()) {
    QSizeF drawn = renderer.defaultSize();
    if (drawn.isEmpty()) drawn = renderer.viewBoxF().size();
    drawn.scale(size, size, Qt::KeepAspectRatio);
    const QRectF target((size - drawn.width()) / 2.0, (size - drawn.height()) / 2.0, drawn.width(),
                        drawn.height());
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, target);
  }
  return QPixmap::fromImage(picture);
}

QList<QPixmap> flagPictures() {
  QList<QPixmap> pictures;
  for (int k = 0; k < static_cast<int>(kFlags.size()); ++k) pictures << renderFlag(flagResource(k));
  return pictures;
}
