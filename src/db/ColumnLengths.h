#pragma once

// The declared lengths (in UTF-16 code units, as nvarchar counts them) of the text columns that
// the windows' boxes search or fill: a box takes no more than its column holds.
namespace quarvel::columnLength {

inline constexpr int kDocumentNumber = 50;  // 公司文件信息.编号
inline constexpr int kDocumentName = 200;   // 公司文件信息.文件名称, 资料下载记录.文件名称
inline constexpr int kKeywords = 200;       // 公司文件信息.关键字
inline constexpr int kEmployeeName = 50;    // 员工档案.姓名

}  // namespace quarvel::columnLength
