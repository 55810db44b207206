// Saving either plot as a PDF, JPEG or PNG file in the current directory.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <qwt_plot_renderer.h>

#include "app/vorn_gui.h"
#include "record/plot_export.h"

void Vorn_GUI::exportPlotImageTop() {
    ExportPlotImage(ui.qwtPlotScope_1);
}

void Vorn_GUI::exportPlotImageBottom() {
    ExportPlotImage(ui.qwtPlotScope_2);
}

void Vorn_GUI::ExportPlotImage(QwtPlot* plot) {
    const bool wasStreaming = streamTimer && streamTimer->isActive();
    if (streamTimer) streamTimer->stop();
    QwtPlotRenderer renderer;
    const auto name = vorn::record::PlotExportFileName(
        plot == ui.qwtPlotScope_1 ? vorn::record::ExportedPlot::Top
                                  : vorn::record::ExportedPlot::Bottom,
        ui.captureFormat_1->isChecked(), ui.captureFormat_2->isChecked(),
        ui.captureFormat_3->isChecked());
    if (name) {
        const QString fileName = QString::fromStdString(*name);
        // renderDocument writes the fixed name straight away (exportTo would ask for one).
        // It reports nothing, so judge by the file itself: it must be there, non-empty and
        // newer than any earlier export of the same name.
        const QFileInfo before(fileName);
        const QDateTime previous = before.exists() ? before.lastModified() : QDateTime();
        renderer.renderDocument(
            plot, fileName, QSizeF(vorn::record::kExportWidthMm, vorn::record::kExportHeightMm),
            vorn::record::kExportResolutionDpi);
        const QFileInfo after(fileName);
        const bool written = after.exists() && after.size() > 0 &&
                             (!previous.isValid() || after.lastModified() != previous);
        if (written)
            ShowNotice(tr("Saved %1").arg(after.absoluteFilePath()));
        else
            ShowNotice(
                tr("Error: Could not write %1 in %2").arg(fileName, QDir::currentPath()));
    }
    if (wasStreaming) streamTimer->start(updateIntervalMs);
}
