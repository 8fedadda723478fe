#pragma once

// The format strings that the windows give their grids, taken from the windows themselves.

#include "library/RightsPanel.h"
#include "library/frmBrowse.h"
#include "library/frmUpload.h"
#include "reports/frmStatistics.h"

#include <QString>

namespace gridformats {

// The upload window's document list.
inline const QString UploadList = quarvel::Frm公司资料上传::listFormat();
// The rights of a document.
inline const QString Rights = quarvel::RightsPanel::formatString();
// The browse window's document list.
inline const QString Browse = quarvel::Frm公司资料查阅::listFormat();
// The access statistics.
inline const QString Statistics = quarvel::frm资料下载汇总::statisticsFormat();
// The access details.
inline const QString Details = quarvel::frm资料下载汇总::detailsFormat();

}  // namespace gridformats
