// Saving either plot as a PDF, JPEG or PNG file in the current directory.
#include <qwt_plot_renderer.h>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTimer>

#include "app/vorn_gui.h"
#include "record/plot_export.h"

namespace {

// Renders the plot onto a page of the export size and resolution, as the renderer's own
// document export would, but through writers that report: every step's result decides, and
// the file replaces an earlier one only when it was written whole.
bool WritePlotFile(QwtPlot* plot, const QString& fileName) {
    const QSizeF pageMm(vorn::record::kExportWidthMm, vorn::record::kExportHeightMm);
    const int dpi = vorn::record::kExportResolutionDpi;
    const QSizeF pageDots = pageMm / 25.4 * dpi;
    const QRectF documentRect(QPointF(0.0, 0.0), pageDots);
    const QString suffix = QFileInfo(fileName).suffix().toLower();

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QwtPlotRenderer renderer;
    if (suffix == QLatin1String("pdf")) {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(pageMm, QPageSize::Millimeter));
        writer.setPageMargins(QMarginsF());
        writer.setResolution(dpi);
        writer.setCreator(QStringLiteral("Vorn-GUI"));
        QPainter painter;
        if (!painter.begin(&writer)) return false;
        renderer.render(plot, &painter, documentRect);
        if (!painter.end()) return false;
    } else {
        const QRect imageRect = documentRect.toRect();
        QImage image(imageRect.size(), QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(dpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(plot, &painter, imageRect);
        painter.end();
        QImageWriter writer(&file, suffix == QLatin1String("png") ? "png" : "jpeg");
        if (!writer.write(image)) return false;
    }
    return file.commit();
}

}  // namespace

void Vorn_GUI::exportPlotImageTop() {
    ExportPlotImage(ui.qwtPlotScope_1);
}

void Vorn_GUI::exportPlotImageBottom() {
    ExportPlotImage(ui.qwtPlotScope_2);
}

void Vorn_GUI::ExportPlotImage(QwtPlot* plot) {
    const bool wasStreaming = streamTimer && streamTimer->isActive();
    if (streamTimer) streamTimer->stop();
    const auto name = vorn::record::PlotExportFileName(
        plot == ui.qwtPlotScope_1 ? vorn::record::ExportedPlot::Top
                                  : vorn::record::ExportedPlot::Bottom,
        ui.captureFormat_1->isChecked(), ui.captureFormat_2->isChecked(),
        ui.captureFormat_3->isChecked());
    if (name) {
        const QString fileName = QString::fromStdString(*name);
        if (WritePlotFile(plot, fileName))
            ShowNotice(tr("Saved %1").arg(QFileInfo(fileName).absoluteFilePath()));
        else
            ShowNotice(tr("Error: Could not write %1 in %2").arg(fileName, QDir::currentPath()));
    }
    if (wasStreaming) streamTimer->start(updateIntervalMs);
}
