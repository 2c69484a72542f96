#include "Dialogs.h"

#include "Environment.h"
#include "MessageLine.h"
#include "Paths.h"
#include "QtPaths.h"
#include "Sjis.h"
#include "TextCodec.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTranslator>

namespace platform {
namespace {

QPointer<QWidget> g_mainWindow;

QMessageBox::StandardButtons standardButtons(Buttons b)
{
    switch (b) {
    case Buttons::Ok: return QMessageBox::Ok;
    case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

Answer answerOf(int clicked, Buttons set)
{
    switch (clicked) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Ignore: return Answer::Ignore;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default:
        // Closed with the window's close button: the set's escape answer.
        switch (set) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::YesNo: return Answer::No;
        case Buttons::AbortRetryIgnore: return Answer::Abort;
        default: return Answer::Cancel;
        }
    }
}

QMessageBox::Icon qtIcon(Icon icon)
{
    switch (icon) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

bool interactive() { return !nonInteractive() && qobject_cast<QApplication*>(QCoreApplication::instance()); }

// Deletes a dialog at the end of a scope unless its parent already did (a dialog's event loop
// runs everything else, which may take the owner away).
class DialogGuard {
public:
    explicit DialogGuard(QWidget* dialog) : m_dialog(dialog) {}
    DialogGuard(const DialogGuard&) = delete;
    DialogGuard& operator=(const DialogGuard&) = delete;
    ~DialogGuard() { delete m_dialog.data(); }
    bool alive() const { return !m_dialog.isNull(); }

private:
    QPointer<QWidget> m_dialog;
};

QString startFolder(std::string_view folder)
{
    const std::string path = folder.empty() ? currentDirectory() : fullPath(folder);
    return qtPathOfScriptPath(path);
}

// The pieces between single-byte "|", up to the first empty one.
std::vector<std::string_view> filterParts(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '|') {
            if (i == start)
                return parts;
            parts.push_back(text.substr(start, i - start));
            start = ++i;
            continue;
        }
        i += sjis::charLength(text, i);
    }
    if (start < text.size())
        parts.push_back(text.substr(start));
    return parts;
}

QString qtPatterns(std::string_view patterns)
{
    QStringList out;
    for (const QString& p : cp932ToQString(patterns).split(u';')) {
        const QString trimmed = p.trimmed();
        if (trimmed.isEmpty())
            continue;
        // On this system "*.*" has always meant every file, also names without a dot.
        out << (trimmed == QStringLiteral("*.*") ? QStringLiteral("*") : trimmed);
    }
    if (out.isEmpty())
        out << QStringLiteral("*");
    out.removeDuplicates();
    return out.join(u' ');
}

// Runs a file dialog owned by the main window; the chosen paths, or nothing when cancelled.
std::optional<QStringList> runFileDialog(const std::function<void(QFileDialog&)>& setUp)
{
    if (!interactive())
        return std::nullopt;
    auto* dialog = new QFileDialog(g_mainWindow.data());
    const DialogGuard guard(dialog);
    // Qt's own dialog behaves the same on every desktop and speaks the loaded translation.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    setUp(*dialog);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!guard.alive() || !accepted)
        return std::nullopt;
    QStringList files = dialog->selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files;
}

void setFilter(QFileDialog& dialog, std::string_view filter)
{
    const QStringList filters = nameFilters(filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
}

}  // namespace

void setMainWindow(QWidget* window) { g_mainWindow = window; }

QWidget* mainWindow() { return g_mainWindow.data(); }

void installQtTranslations()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

void useJapaneseInterfaceFont()
{
    static bool done = false;
    if (done || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    done = true;
    for (const char* family : {"Noto Sans CJK JP", "IPAPGothic", "VL PGothic", "TakaoPGothic"}) {
        if (QFontDatabase::hasFamily(QString::fromUtf8(family))) {
            QFont font = QApplication::font();
            font.setFamilies({QString::fromUtf8(family)});
            QApplication::setFont(font);
            return;
        }
    }
}

Answer firstButton(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::AbortRetryIgnore: return Answer::Abort;
    case Buttons::YesNoCancel:
    case Buttons::YesNo: return Answer::Yes;
    case Buttons::RetryCancel: return Answer::Retry;
    }
    return Answer::Ok;
}

Answer messageBox(std::string_view text, std::string_view caption, Buttons buttons, Icon icon, Owner owner)
{
    if (!interactive()) {
        writeMessageLine(caption, text);
        return firstButton(buttons);
    }
    QWidget* parent = owner == Owner::MainWindow ? g_mainWindow.data() : nullptr;
    auto* box = new QMessageBox(qtIcon(icon), cp932ToQString(caption), cp932ToQString(text), standardButtons(buttons), parent);
    const DialogGuard guard(box);
    const int clicked = box->exec();
    return answerOf(guard.alive() ? clicked : -1, buttons);
}

QStringList nameFilters(std::string_view filter)
{
    const std::vector<std::string_view> parts = filterParts(filter);
    QStringList filters;
    for (std::size_t i = 0; i < parts.size(); i += 2) {
        const std::string_view patterns = i + 1 < parts.size() ? parts[i + 1] : std::string_view("*");
        // The pattern part is hidden (HideNameFilterDetails): the description shows as given.
        filters << cp932ToQString(parts[i]) + QStringLiteral(" (") + qtPatterns(patterns) + u')';
    }
    return filters;
}

std::optional<std::string> chooseFolder(std::string_view title, std::string_view initialFolder)
{
    const std::optional<QStringList> chosen = runFileDialog([&](QFileDialog& dialog) {
        dialog.setWindowTitle(cp932ToQString(title));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setDirectory(startFolder(initialFolder));
    });
    if (!chosen)
        return std::nullopt;
    return scriptPathOfQtPath(chosen->front());
}

std::optional<std::vector<std::string>> chooseFilesToOpen(std::string_view initialFolder, std::string_view filter,
                                                          bool multiSelect)
{
    const std::optional<QStringList> chosen = runFileDialog([&](QFileDialog& dialog) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        dialog.setDirectory(startFolder(initialFolder));
        setFilter(dialog, filter);
    });
    if (!chosen)
        return std::nullopt;
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(chosen->size()));
    for (const QString& path : *chosen)
        paths.push_back(scriptPathOfQtPath(path));
    return paths;
}

std::optional<std::string> chooseFileToSave(const SaveDialogOptions& options)
{
    const std::optional<QStringList> chosen = runFileDialog([&](QFileDialog& dialog) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDirectory(startFolder(options.initialFolder));
        setFilter(dialog, options.filter);
        if (!options.defaultSuffix.empty())
            dialog.setDefaultSuffix(cp932ToQString(options.defaultSuffix));
        if (!options.fileName.empty())
            dialog.selectFile(qtPathOfScriptPath(options.fileName));
    });
    if (!chosen)
        return std::nullopt;
    return scriptPathOfQtPath(chosen->front());
}

}  // namespace platform
