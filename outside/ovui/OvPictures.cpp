#include "ovui/OvPictures.h"

#include <QFile>

QString OvPicturePath(const QString& name) {
    return QStringLiteral(":/ovui/pictures/") + name + QStringLiteral(".svg");
}

QIcon OvPicture(const QString& name) {
    const QString path = OvPicturePath(name);
    if (!QFile::exists(path)) {
        return {};
    }
    return QIcon(path);
}
