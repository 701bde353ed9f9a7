// qvc_render_icon SIZE FILE.png: renders the logo as the program draws it
// (LogoWidget::PaintLogo) to a square PNG with a transparent background, for
// the application icons of the package.
#include "ui/common/LogoWidget.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size <= 0) {
        std::fprintf(stderr, "usage: qvc_render_icon SIZE FILE.png\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[2]);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        qvc::LogoWidget::PaintLogo(painter, QRectF(0, 0, size, size));
    }
    if (!QDir().mkpath(QFileInfo(file).absolutePath()) || !image.save(file, "PNG")) {
        std::fprintf(stderr, "qvc_render_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
