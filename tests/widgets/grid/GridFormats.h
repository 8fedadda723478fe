#pragma once

// The format strings that the windows give their grids, character for character.

#include <QString>

namespace gridformats {

// The upload window's document list.
inline const QString UploadList = QStringLiteral("<序|<编号|<文件类别|<文件名称|<文件摘要|<关键字|^级别|^文件格式|^上传日期|");
// The rights of a document.
inline const QString Rights = QStringLiteral("  |<部门                                    |<岗位                             |<姓名                 |^操作     |^查阅     |^下载     |");
// The browse window's document list.
inline const QString Browse = QStringLiteral("<序|<编号                    |<文件类别                                |<文件名称                              |<文件摘要                         |<关键字        |^文件级别       |^上传人姓名     |^上传日期                  |^文件格式|^操作  |^操作  |");
// The access statistics.
inline const QString Statistics = QStringLiteral("序|<文件编号                |<文件名称                  |<摘要                 |<浏览次数  |<下载次数 |^明细   ");
// The access details.
inline const QString Details = QStringLiteral("序|<文件编号                |<文件名称                  |<摘要                 |<部门               |<姓名           |<阅读   |<下载   |<操作日期           ");

}  // namespace gridformats
