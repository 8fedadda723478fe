-- Quarvel database schema, SQL Server edition (T-SQL).
--
-- Run once in an empty database to set up a test or demo server. Texts are Unicode
-- (nvarchar), date-times are datetime, flags are bit, the stored document file is
-- varbinary(max). The two flags of the access log and the download marker of a document are
-- small whole numbers rather than bit: they are listed and totalled as numbers.
--
-- The codes that identify employees, positions, departments, types and groups are indexed but
-- not declared unique: the suite keeps its own tables consistent and the client checks the
-- codes it writes itself. Row identities are assigned by the database.
--
-- Each statement ends with a semicolon at the end of a line. Comment lines start with two dashes.

-- Organisation tables (maintained by the suite, read by the client).

CREATE TABLE 员工档案 (
    工号 nvarchar(20) NOT NULL,
    帐号密码 nvarchar(50) NULL,
    姓名 nvarchar(50) NULL,
    英文名 nvarchar(50) NULL,
    岗位编号 nvarchar(20) NULL,
    离职日期 datetime NULL
);
CREATE INDEX ix_employee_no ON 员工档案 (工号);
CREATE INDEX ix_employee_position ON 员工档案 (岗位编号);

CREATE TABLE 岗位员工new (
    员工代号 nvarchar(20) NULL,
    岗位代号 nvarchar(20) NULL,
    主要岗位 bit NULL DEFAULT 0,
    离岗日期 datetime NULL
);
CREATE INDEX ix_assignment_employee ON 岗位员工new (员工代号);
CREATE INDEX ix_assignment_position ON 岗位员工new (岗位代号);

CREATE TABLE 岗位信息new (
    岗位代号 nvarchar(20) NULL,
    岗位名称 nvarchar(50) NULL,
    职能部门代号 nvarchar(20) NULL,
    岗位类别代号 nvarchar(20) NULL,
    工号 nvarchar(20) NULL,
    主要职责 nvarchar(500) NULL,
    起始日期 datetime NULL,
    终止日期 datetime NULL,
    备注 nvarchar(200) NULL
);
CREATE INDEX ix_position_code ON 岗位信息new (岗位代号);
CREATE INDEX ix_position_department ON 岗位信息new (职能部门代号);
CREATE INDEX ix_position_holder ON 岗位信息new (工号);

CREATE TABLE 职能部门new (
    职能部门编号 nvarchar(20) NOT NULL,
    职能部门名称 nvarchar(50) NULL,
    职能部门类别代号 nvarchar(20) NULL,
    终止日期 datetime NULL
);
CREATE INDEX ix_department_code ON 职能部门new (职能部门编号);

CREATE TABLE 上级部门new (
    职能部门编号 nvarchar(20) NOT NULL,
    上级部门编号 nvarchar(20) NULL,
    起始日期 datetime NULL
);
CREATE INDEX ix_department_parent_dept ON 上级部门new (职能部门编号, 起始日期);
CREATE INDEX ix_department_parent_code ON 上级部门new (上级部门编号);

CREATE TABLE 职能部门类别 (
    部门类别代号 nvarchar(20) NULL,
    部门类别名称 nvarchar(50) NULL
);
CREATE INDEX ix_department_category ON 职能部门类别 (部门类别代号);

CREATE TABLE 岗位类别 (
    岗位类别编号 nvarchar(20) NULL,
    岗位类别名称 nvarchar(50) NULL
);
CREATE INDEX ix_position_category ON 岗位类别 (岗位类别编号);

CREATE TABLE 岗位权限设置 (
    ID int IDENTITY(1,1) PRIMARY KEY,
    组代号 nvarchar(20) NULL,
    岗位代号 nvarchar(20) NULL,
    授权 bit NULL DEFAULT 0
);
CREATE INDEX ix_position_group_position ON 岗位权限设置 (岗位代号);
CREATE INDEX ix_position_group_group ON 岗位权限设置 (组代号);

CREATE TABLE GroupPrivilege (
    GroupID nvarchar(20) NULL,
    FormName nvarchar(50) NULL,
    Popedom bit NULL
);
CREATE INDEX ix_group_privilege_group ON GroupPrivilege (GroupID);

CREATE TABLE 专项审核权限表 (
    类型 nvarchar(50) NULL,
    部门代号 nvarchar(20) NULL,
    岗位代号 nvarchar(20) NULL
);
CREATE INDEX ix_special_audit ON 专项审核权限表 (部门代号, 岗位代号);

-- Document tables (owned by the client).

CREATE TABLE 公司文件信息 (
    ID int IDENTITY(1,1) PRIMARY KEY,
    编号 nvarchar(50) NOT NULL,
    文件类别 nvarchar(20) NULL,
    文件名称 nvarchar(200) NULL,
    摘要 nvarchar(1000) NULL,
    关键字 nvarchar(200) NULL,
    文件级别 int NULL,
    上传人工号 nvarchar(20) NULL,
    上传日期 datetime NULL,
    部门 nvarchar(20) NULL,
    岗位 nvarchar(20) NULL,
    文件下载 smallint NULL DEFAULT 0,
    附件后缀 nvarchar(20) NULL,
    文件 varbinary(max) NULL
);
CREATE INDEX ix_document_no ON 公司文件信息 (编号);
CREATE INDEX ix_document_type ON 公司文件信息 (文件类别);
-- A position's documents, newest first: the upload window's opening list and its date filter.
CREATE INDEX ix_document_uploader ON 公司文件信息 (部门, 岗位, 上传日期);
CREATE INDEX ix_document_date ON 公司文件信息 (上传日期);
-- Newest first, as the browse list orders.
-- It also carries every column the browse search's filters test and its list shows, so that
-- with a date filter a document of the period that fails them costs no lookup of its row.
CREATE INDEX ix_document_newest ON 公司文件信息 (上传日期 DESC, ID DESC)
    INCLUDE (编号, 文件类别, 附件后缀, 文件名称, 关键字, 上传人工号, 摘要, 文件级别);

CREATE TABLE 资料类型 (
    ID int IDENTITY(1,1) PRIMARY KEY,
    编号 nvarchar(20) NOT NULL,
    名称 nvarchar(20) NULL,
    上级编号 nvarchar(20) NULL,
    级别 int NULL DEFAULT 0,
    说明 nvarchar(50) NULL,
    终止日期 datetime NULL
);
CREATE INDEX ix_type_code ON 资料类型 (编号);
CREATE INDEX ix_type_parent ON 资料类型 (上级编号);

CREATE TABLE 资料下载权限 (
    ID int IDENTITY(1,1) PRIMARY KEY,
    文件编号 nvarchar(50) NULL,
    部门编号 nvarchar(20) NULL,
    部门名称 nvarchar(50) NULL,
    岗位代号 nvarchar(20) NULL,
    岗位名称 nvarchar(50) NULL,
    下载 bit NULL,
    查阅 bit NULL,
    updatedate datetime NULL,
    CzyID nvarchar(20) NULL
);
CREATE INDEX ix_right_document ON 资料下载权限 (文件编号);
-- A position's rights in the order of their document numbers and IDs (the clustered key follows
-- the keys), without a sort or a lookup of the rows; it also counts them.
CREATE INDEX ix_right_position_number ON 资料下载权限 (岗位代号, 文件编号) INCLUDE (查阅, 下载, updatedate, CzyID);
-- The browse list joins the rights of one position by document number, and checks a
-- document's rights for the position, both without reading the rows; a position's entries lie
-- together, so that checking many documents for one position reads few pages.
CREATE INDEX ix_right_position_document ON 资料下载权限 (岗位代号, 文件编号, 查阅, 下载);

CREATE TABLE 资料上传权限 (
    文件编号 nvarchar(20) NULL,
    岗位代号 nvarchar(20) NULL,
    CzyID nvarchar(20) NULL,
    updatedate datetime NULL
);
CREATE INDEX ix_upload_right_position ON 资料上传权限 (岗位代号);
CREATE INDEX ix_upload_right_type ON 资料上传权限 (文件编号);

CREATE TABLE 资料下载组 (
    组ID nvarchar(10) NOT NULL,
    组名称 nvarchar(50) NULL,
    备注 nvarchar(200) NULL,
    CzyID nvarchar(20) NULL,
    updatedate datetime NULL
);
CREATE INDEX ix_download_group ON 资料下载组 (组ID);

CREATE TABLE 资料下载组详细 (
    ID int IDENTITY(1,1) PRIMARY KEY,
    组id nvarchar(10) NULL,
    岗位代号 nvarchar(20) NULL,
    Czyid nvarchar(20) NULL
);
CREATE INDEX ix_download_group_member ON 资料下载组详细 (组id);
-- The groups a position belongs to (a position's rights, a document's rights explained).
CREATE INDEX ix_download_group_position ON 资料下载组详细 (岗位代号);

CREATE TABLE 资料下载记录 (
    文件编号 nvarchar(50) NULL,
    文件名称 nvarchar(200) NULL,
    文件类别 nvarchar(20) NULL,
    摘要 nvarchar(1000) NULL,
    工号 nvarchar(20) NULL,
    部门 nvarchar(20) NULL,
    岗位 nvarchar(20) NULL,
    下载 int NULL DEFAULT 0,
    阅读 int NULL DEFAULT 0,
    操作时间 datetime NULL
);
CREATE INDEX ix_access_log_document ON 资料下载记录 (文件编号);
CREATE INDEX ix_access_log_time ON 资料下载记录 (操作时间);
CREATE INDEX ix_access_log_employee ON 资料下载记录 (工号);
CREATE INDEX ix_access_log_department ON 资料下载记录 (部门);
-- The statistics group by document and filter by period; the details of one document read its
-- accesses in time order. Both cover every column the counts and the details read.
CREATE INDEX ix_access_log_grouping ON 资料下载记录 (文件编号, 操作时间) INCLUDE (文件名称, 摘要, 文件类别, 部门, 工号, 阅读, 下载);
CREATE INDEX ix_access_log_period ON 资料下载记录 (操作时间) INCLUDE (文件编号, 文件名称, 摘要, 文件类别, 部门, 工号, 阅读, 下载);

-- Full-text search inside the documents (owned by this module). One row per page (a sheet, a
-- slide) of a document's text, taken from the content whose upload time 版本 names; the state
-- of each document's indexing (0 pending, 1 indexing, 2 done, 3 no text, 4 failed) with the
-- content it is about.
CREATE TABLE 资料全文 (
    ID int IDENTITY(1,1) NOT NULL CONSTRAINT pk_fulltext PRIMARY KEY,
    文件ID int NOT NULL,
    页码 int NOT NULL,
    版本 datetime NULL,
    文本 nvarchar(max) NOT NULL
);
CREATE INDEX ix_fulltext_document ON 资料全文 (文件ID, 页码);
CREATE TABLE 资料全文状态 (
    文件ID int NOT NULL PRIMARY KEY,
    状态 int NOT NULL,
    版本 datetime NULL,
    说明 nvarchar(200) NULL
);
CREATE INDEX ix_fulltext_waiting ON 资料全文状态 (状态);
-- Where the server has full-text search installed, a catalog and an index over the text with the
-- Chinese (PRC) word breaker; the client searches with CONTAINS then, with like otherwise.
IF FULLTEXTSERVICEPROPERTY('IsFullTextInstalled') = 1 AND NOT EXISTS (SELECT 1 FROM sys.fulltext_catalogs WHERE name = 'quarvel_fulltext') EXEC (N'CREATE FULLTEXT CATALOG quarvel_fulltext');
IF FULLTEXTSERVICEPROPERTY('IsFullTextInstalled') = 1 AND NOT EXISTS (SELECT 1 FROM sys.fulltext_indexes WHERE object_id = OBJECT_ID(N'资料全文')) EXEC (N'CREATE FULLTEXT INDEX ON 资料全文 (文本 LANGUAGE 2052) KEY INDEX pk_fulltext ON quarvel_fulltext WITH CHANGE_TRACKING AUTO');
