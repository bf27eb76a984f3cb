#include "FileDialogs.h"

#include <QFileDialog>
#include <QFileSystemModel>

namespace zalohy {

static FileDialogs::Handler& handler() {
    static FileDialogs::Handler h;
    return h;
}

void FileDialogs::setHandler(Handler h) { handler() = std::move(h); }

// On Windows "*.*" matches every file; here it would hide names without a
// dot. The filter keeps its label and matches everything instead.
static void showEveryFileFor(QFileDialog& dialog, const QString& filter) {
    if (!filter.endsWith(QLatin1String("(*.*)"))) return;
    if (auto* model = dialog.findChild<QFileSystemModel*>()) model->setNameFilters({QStringLiteral("*")});
}

static QString runDialog(const QtFileDialogRequest& request) {
    if (handler()) return handler()(request);

    QFileDialog dialog(request.owner, QString(), request.directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(request.mode == QtFileDialogRequest::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setAcceptMode(request.mode == QtFileDialogRequest::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(request.filters);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) { showEveryFileFor(dialog, filter); });
    if (request.filterIndex >= 0 && request.filterIndex < request.filters.size()) {
        dialog.selectNameFilter(request.filters.at(request.filterIndex));
        showEveryFileFor(dialog, request.filters.at(request.filterIndex));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

QString FileDialogs::getSaveFileName(QWidget* owner, const QString& directory, const QStringList& filters,
                                     int filterIndex) {
    return runDialog({QtFileDialogRequest::Save, owner, directory, filters, filterIndex});
}

QString FileDialogs::getOpenFileName(QWidget* owner, const QString& directory, const QStringList& filters,
                                     int filterIndex) {
    return runDialog({QtFileDialogRequest::Open, owner, directory, filters, filterIndex});
}

}  // namespace zalohy
