#include "main_window/window_files.h"

#include <QFile>
#include <QFileInfo>

#include "converter/wqas/partial_output.h"

namespace vidmora::main_window {

ConversionOutcome conversionOutcome(const ConversionFiles &files, int exitCode, bool cancelled)
{
    if (cancelled)
        return ConversionOutcome::Cancelled;
    const QFileInfo out(files.output);
    if (exitCode == 0 && !files.output.isEmpty() && out.isFile() && out.size() > 0)
        return ConversionOutcome::Converted;
    return ConversionOutcome::Failed;
}

void clearAfterConversion(const ConversionFiles &files, ConversionOutcome outcome)
{
    // The download is deleted only once the converter has made something of it.
    if (outcome == ConversionOutcome::Converted && !files.source.isEmpty() && files.source != files.output)
        QFile::remove(files.source);
    // A converter that was killed (Cancel) cannot remove its temporary file;
    // only names of that form whose converter has gone are taken.
    if (!files.output.isEmpty())
        wqas::removeLeftoverPartials(QFile::encodeName(files.output).toStdString());
}

QString thumbnailPath(const QString &saveFolder)
{
    return saveFolder + QStringLiteral("/fis.tmp");
}

void deleteThumbnail(const QString &saveFolder)
{
    const QString path = thumbnailPath(saveFolder);
    if (QFileInfo(path).isFile())
        QFile::remove(path);
}

} // namespace vidmora::main_window
