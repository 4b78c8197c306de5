// A Qt Widgets window with one QTextEdit, driven over stdin by the AT-SPI tests. Commands, one
// a line: "show HEX LOCATION LENGTH" (the UTF-8 text in hex, the selection in UTF-16 units)
// answers "shown"; "text" answers the text in hex; "cursor" answers its anchor and position; "quit" ends the
// program.
#include <QApplication>
#include <QByteArray>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTextEdit>

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

void answer(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void show(QTextEdit& edit, const QList<QByteArray>& words) {
    if (words.size() != 4) return answer("bad");
    const QString text = QString::fromUtf8(QByteArray::fromHex(words[1]));
    const int location = words[2].toInt();
    const int length = words[3].toInt();
    edit.setPlainText(text);
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(location);
    cursor.setPosition(location + length, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
    edit.setFocus();
    edit.activateWindow();
    answer("shown");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTextEdit edit;
    edit.setWindowTitle("veska-qt-field");
    edit.resize(500, 300);
    edit.show();
    edit.activateWindow();
    edit.setFocus();

    std::string pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) return QApplication::quit();
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t newline = 0;
        while ((newline = pending.find('\n')) != std::string::npos) {
            const QByteArray line = QByteArray::fromStdString(pending.substr(0, newline));
            pending.erase(0, newline + 1);
            const QList<QByteArray> words = line.split(' ');
            if (words.value(0) == "quit") return QApplication::quit();
            if (words.value(0) == "show") show(edit, words);
            if (words.value(0) == "text") answer(edit.toPlainText().toUtf8().toHex().constData());
            if (words.value(0) == "cursor") {
                const QTextCursor cursor = edit.textCursor();
                answer((std::to_string(cursor.anchor()) + " " + std::to_string(cursor.position())).c_str());
            }
        }
    });
    answer("ready");
    return QApplication::exec();
}
