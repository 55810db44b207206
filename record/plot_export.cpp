#include "record/plot_export.h"

namespace vorn::record {

std::optional<std::string> PlotExportFileName(ExportedPlot plot, bool pdfChecked, bool jpegChecked,
                                              bool pngChecked) {
    const char* suffix = nullptr;
    if (pdfChecked) {
        suffix = ".pdf";
    } else if (jpegChecked) {
        suffix = ".jpg";
    } else if (pngChecked) {
        suffix = ".png";
    } else {
        return std::nullopt;
    }
    const char* stem = plot == ExportedPlot::Top ? "Vorn_GUI_TopView" : "Vorn_GUI_BottomView";
    return std::string(stem) + suffix;
}

}  // namespace vorn::record
