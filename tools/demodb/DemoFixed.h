#pragma once

#include <span>

// The fixed part of the demo database: a small company with a department tree, positions,
// employees, menu permissions, document types and documents. Texts are UTF-8; a null
// pointer stands for a database NULL. Dates are "yyyy-MM-dd"; relative dates (leaving,
// uploads, accesses) are computed by the builder from its reference time.
namespace quarvel::demo::fixed {

struct Category {
    const char* code;
    const char* name;
};

struct Department {
    const char* code;
    const char* name;
    const char* category;
    const char* closed;  // 终止日期
};

struct ParentLink {
    const char* department;
    const char* parent;  // null, or "" for a top department
    const char* since;
};

struct Position {
    const char* code;
    const char* name;
    const char* department;
    const char* category;
    const char* holder;  // null for a vacant position
    const char* duties;
    const char* since;
    const char* closed;  // 终止日期
    const char* remark;
};

struct Employee {
    const char* number;
    const char* name;
    const char* englishName;
    const char* position;
    const char* password;
    bool left;  // 离职日期 set (some weeks before the reference time)
};

struct Assignment {
    const char* employee;
    const char* position;
    int main;           // 主要岗位
    const char* ended;  // 离岗日期
};

struct MenuGrant {
    const char* group;
    const char* formName;
    int popedom;
};

struct PositionGroup {
    const char* position;
    const char* group;
    int granted;  // 授权
};

struct SpecialAudit {
    const char* type;
    const char* department;
    const char* position;
};

struct DocumentType {
    const char* code;
    const char* name;
    const char* parent;
    int level;
    const char* description;
    const char* voided;  // 终止日期
};

struct UploadRight {
    const char* type;
    const char* position;
};

struct Document {
    const char* number;
    const char* name;
    const char* type;
    const char* extension;
    const char* position;  // uploader's position
    const char* summary;
    const char* keywords;
    int level;
};

struct DownloadGroup {
    const char* id;
    const char* name;
    const char* remark;
    std::span<const char* const> members;
};

std::span<const Category> departmentCategories();
std::span<const Category> positionCategories();
std::span<const Department> departments();
std::span<const ParentLink> parentLinks();
std::span<const Position> positions();
std::span<const Employee> employees();
std::span<const Assignment> extraAssignments();  // besides each employee's main position
std::span<const MenuGrant> menuGrants();
std::span<const PositionGroup> positionGroups();
std::span<const SpecialAudit> specialAudits();
std::span<const DocumentType> documentTypes();
std::span<const UploadRight> uploadRights();
std::span<const Document> documents();
std::span<const DownloadGroup> downloadGroups();

// Every menu entry name of the main window.
std::span<const char* const> menuEntries();

// The group that positions without an entry in positionGroups() hold.
inline constexpr const char* kDefaultGroup = "QX02";

}  // namespace quarvel::demo::fixed
