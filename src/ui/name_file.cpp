#include "ui/name_file.h"

#include <QFile>
#include <QFileInfo>

namespace sonabank {

QString NameFileToPath(const QString& text) {
    if (!text.isEmpty() && QFileInfo(text).isFile()) return text;
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    if (i == text.size()) return {};
    if (text[i] == u'"') {
        const qsizetype close = text.indexOf(u'"', i + 1);
        // An unclosed quote runs to the end of the text.
        return close < 0 ? text.mid(i + 1) : text.mid(i + 1, close - i - 1);
    }
    const qsizetype blank = text.indexOf(u' ', i);
    return blank < 0 ? text.mid(i) : text.mid(i, blank - i);
}

std::string PathForCore(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace sonabank
