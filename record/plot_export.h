#pragma once
#include <optional>
#include <string>

namespace vorn::record {

enum class ExportedPlot { Top, Bottom };

// Every export renders a page of this size and resolution.
inline constexpr double kExportWidthMm = 300.0;
inline constexpr double kExportHeightMm = 200.0;
inline constexpr int kExportResolutionDpi = 85;

// The fixed, relative file name for the first checked format (PDF, JPEG, PNG in that order);
// none when no format is checked.
std::optional<std::string> PlotExportFileName(ExportedPlot plot, bool pdfChecked, bool jpegChecked,
                                              bool pngChecked);

}  // namespace vorn::record
