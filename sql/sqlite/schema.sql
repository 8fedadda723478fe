-- Quarvel database schema, SQLite edition (demo and test databases).
--
-- Texts are TEXT, date-times are TEXT in the canonical form yyyy-MM-dd HH:mm:ss (which sorts
-- and compares correctly against bound date bounds), 0/1 flags and numbers are INTEGER and
-- the stored document file is a BLOB.
--
-- Every text column compares as the suite's SQL Server compares by default: trailing blanks
-- and letter case are ignored. The collation NOCASE_RTRIM does that; the client registers it on
-- its connections. Any other program that reads these tables registers it as well, or loads the
-- extension module built with the client (sqlite3 shell: .load /path/to/libquarveltext; SQLite
-- ODBC driver: LoadExt=/path/to/libquarveltext.so). Indexes take the collation of their columns.
--
-- The codes that identify employees, positions, departments, types and groups are indexed but
-- not declared unique: the suite keeps its own tables consistent and the client checks the
-- codes it writes itself. Row identities are assigned by the database.
--
-- Each statement ends with a semicolon at the end of a line. Comment lines start with two dashes.

-- Large pages suit the stored documents (values up to about a gigabyte): a document spills over
-- a sixteenth of the pages it would with the default 4 KiB, and is written once. The size takes
-- effect only before the first table is created.
PRAGMA page_size = 65536;

-- The rollback journal (SQLite's default, named here because the client relies on it): one file
-- that holds everything, safe on a network share, and the fastest for storing large documents.
-- The client turns a file switched to the write-ahead log back to it.
PRAGMA journal_mode = DELETE;

-- Organisation tables (maintained by the suite, read by the client).

CREATE TABLE 员工档案 (
    工号 TEXT COLLATE NOCASE_RTRIM NOT NULL,
    帐号密码 TEXT COLLATE NOCASE_RTRIM,
    姓名 TEXT COLLATE NOCASE_RTRIM,
    英文名 TEXT COLLATE NOCASE_RTRIM,
    岗位编号 TEXT COLLATE NOCASE_RTRIM,
    离职日期 TEXT
);
CREATE INDEX ix_employee_no ON 员工档案 (工号);
CREATE INDEX ix_employee_position ON 员工档案 (岗位编号);

CREATE TABLE 岗位员工new (
    员工代号 TEXT COLLATE NOCASE_RTRIM,
    岗位代号 TEXT COLLATE NOCASE_RTRIM,
    主要岗位 INTEGER DEFAULT 0,
    离岗日期 TEXT
);
CREATE INDEX ix_assignment_employee ON 岗位员工new (员工代号);
CREATE INDEX ix_assignment_position ON 岗位员工new (岗位代号);

CREATE TABLE 岗位信息new (
    岗位代号 TEXT COLLATE NOCASE_RTRIM,
    岗位名称 TEXT COLLATE NOCASE_RTRIM,
    职能部门代号 TEXT COLLATE NOCASE_RTRIM,
    岗位类别代号 TEXT COLLATE NOCASE_RTRIM,
    工号 TEXT COLLATE NOCASE_RTRIM,
    主要职责 TEXT COLLATE NOCASE_RTRIM,
    起始日期 TEXT,
    终止日期 TEXT,
    备注 TEXT COLLATE NOCASE_RTRIM
);
CREATE INDEX ix_position_code ON 岗位信息new (岗位代号);
CREATE INDEX ix_position_department ON 岗位信息new (职能部门代号);
CREATE INDEX ix_position_holder ON 岗位信息new (工号);

CREATE TABLE 职能部门new (
    职能部门编号 TEXT COLLATE NOCASE_RTRIM NOT NULL,
    职能部门名称 TEXT COLLATE NOCASE_RTRIM,
    职能部门类别代号 TEXT COLLATE NOCASE_RTRIM,
    终止日期 TEXT
);
CREATE INDEX ix_department_code ON 职能部门new (职能部门编号);

CREATE TABLE 上级部门new (
    职能部门编号 TEXT COLLATE NOCASE_RTRIM NOT NULL,
    上级部门编号 TEXT COLLATE NOCASE_RTRIM,
    起始日期 TEXT
);
CREATE INDEX ix_department_parent_dept ON 上级部门new (职能部门编号, 起始日期);
CREATE INDEX ix_department_parent_code ON 上级部门new (上级部门编号);

CREATE TABLE 职能部门类别 (
    部门类别代号 TEXT COLLATE NOCASE_RTRIM,
    部门类别名称 TEXT COLLATE NOCASE_RTRIM
);
CREATE INDEX ix_department_category ON 职能部门类别 (部门类别代号);

CREATE TABLE 岗位类别 (
    岗位类别编号 TEXT COLLATE NOCASE_RTRIM,
    岗位类别名称 TEXT COLLATE NOCASE_RTRIM
);
CREATE INDEX ix_position_category ON 岗位类别 (岗位类别编号);

CREATE TABLE 岗位权限设置 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    组代号 TEXT COLLATE NOCASE_RTRIM,
    岗位代号 TEXT COLLATE NOCASE_RTRIM,
    授权 INTEGER DEFAULT 0
);
CREATE INDEX ix_position_group_position ON 岗位权限设置 (岗位代号);
CREATE INDEX ix_position_group_group ON 岗位权限设置 (组代号);

CREATE TABLE GroupPrivilege (
    GroupID TEXT COLLATE NOCASE_RTRIM,
    FormName TEXT COLLATE NOCASE_RTRIM,
    Popedom INTEGER
);
CREATE INDEX ix_group_privilege_group ON GroupPrivilege (GroupID);

CREATE TABLE 专项审核权限表 (
    类型 TEXT COLLATE NOCASE_RTRIM,
    部门代号 TEXT COLLATE NOCASE_RTRIM,
    岗位代号 TEXT COLLATE NOCASE_RTRIM
);
CREATE INDEX ix_special_audit ON 专项审核权限表 (部门代号, 岗位代号);

-- Document tables (owned by the client).

CREATE TABLE 公司文件信息 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    编号 TEXT COLLATE NOCASE_RTRIM NOT NULL,
    文件类别 TEXT COLLATE NOCASE_RTRIM,
    文件名称 TEXT COLLATE NOCASE_RTRIM,
    摘要 TEXT COLLATE NOCASE_RTRIM,
    关键字 TEXT COLLATE NOCASE_RTRIM,
    文件级别 INTEGER,
    上传人工号 TEXT COLLATE NOCASE_RTRIM,
    上传日期 TEXT,
    部门 TEXT COLLATE NOCASE_RTRIM,
    岗位 TEXT COLLATE NOCASE_RTRIM,
    文件下载 INTEGER DEFAULT 0,
    附件后缀 TEXT COLLATE NOCASE_RTRIM,
    文件 BLOB
);
CREATE INDEX ix_document_no ON 公司文件信息 (编号);
CREATE INDEX ix_document_type ON 公司文件信息 (文件类别);
-- A position's documents, newest first: the upload window's opening list and its date filter.
CREATE INDEX ix_document_uploader ON 公司文件信息 (部门, 岗位, 上传日期);
CREATE INDEX ix_document_date ON 公司文件信息 (上传日期);
-- The browse search with a date filter: the period's documents with content, newest first,
-- with every column the filters test and the list shows, so that a document failing them costs
-- no read of its row.
CREATE INDEX ix_document_browse ON 公司文件信息 (上传日期, ID, 文件类别, 附件后缀, 文件名称, 关键字, 上传人工号, 编号,
    摘要, 文件级别) WHERE 文件 IS NOT NULL;

CREATE TABLE 资料类型 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    编号 TEXT COLLATE NOCASE_RTRIM NOT NULL,
    名称 TEXT COLLATE NOCASE_RTRIM,
    上级编号 TEXT COLLATE NOCASE_RTRIM,
    级别 INTEGER DEFAULT 0,
    说明 TEXT COLLATE NOCASE_RTRIM,
    终止日期 TEXT
);
CREATE INDEX ix_type_code ON 资料类型 (编号);
CREATE INDEX ix_type_parent ON 资料类型 (上级编号);

CREATE TABLE 资料下载权限 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    文件编号 TEXT COLLATE NOCASE_RTRIM,
    部门编号 TEXT COLLATE NOCASE_RTRIM,
    部门名称 TEXT COLLATE NOCASE_RTRIM,
    岗位代号 TEXT COLLATE NOCASE_RTRIM,
    岗位名称 TEXT COLLATE NOCASE_RTRIM,
    下载 INTEGER,
    查阅 INTEGER,
    updatedate TEXT,
    CzyID TEXT COLLATE NOCASE_RTRIM
);
CREATE INDEX ix_right_document ON 资料下载权限 (文件编号);
-- A position's rights in the order of their document numbers and IDs (the rows' own order within
-- a number), without a sort; it also counts them.
CREATE INDEX ix_right_position_number ON 资料下载权限 (岗位代号, 文件编号);
-- The browse list joins the rights of one position by document number, and checks a
-- document's rights for the position, both without reading the rows; a position's entries lie
-- together, so that checking many documents for one position reads few pages.
CREATE INDEX ix_right_position_document ON 资料下载权限 (岗位代号, 文件编号, 查阅, 下载);

CREATE TABLE 资料上传权限 (
    文件编号 TEXT COLLATE NOCASE_RTRIM,
    岗位代号 TEXT COLLATE NOCASE_RTRIM,
    CzyID TEXT COLLATE NOCASE_RTRIM,
    updatedate TEXT
);
CREATE INDEX ix_upload_right_position ON 资料上传权限 (岗位代号);
CREATE INDEX ix_upload_right_type ON 资料上传权限 (文件编号);

CREATE TABLE 资料下载组 (
    组ID TEXT COLLATE NOCASE_RTRIM NOT NULL,
    组名称 TEXT COLLATE NOCASE_RTRIM,
    备注 TEXT COLLATE NOCASE_RTRIM,
    CzyID TEXT COLLATE NOCASE_RTRIM,
    updatedate TEXT
);
CREATE INDEX ix_download_group ON 资料下载组 (组ID);

CREATE TABLE 资料下载组详细 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    组id TEXT COLLATE NOCASE_RTRIM,
    岗位代号 TEXT COLLATE NOCASE_RTRIM,
    Czyid TEXT COLLATE NOCASE_RTRIM
);
CREATE INDEX ix_download_group_member ON 资料下载组详细 (组id);
-- The groups a position belongs to (a position's rights, a document's rights explained).
CREATE INDEX ix_download_group_position ON 资料下载组详细 (岗位代号);

CREATE TABLE 资料下载记录 (
    文件编号 TEXT COLLATE NOCASE_RTRIM,
    文件名称 TEXT COLLATE NOCASE_RTRIM,
    文件类别 TEXT COLLATE NOCASE_RTRIM,
    摘要 TEXT COLLATE NOCASE_RTRIM,
    工号 TEXT COLLATE NOCASE_RTRIM,
    部门 TEXT COLLATE NOCASE_RTRIM,
    岗位 TEXT COLLATE NOCASE_RTRIM,
    下载 INTEGER DEFAULT 0,
    阅读 INTEGER DEFAULT 0,
    操作时间 TEXT
);
CREATE INDEX ix_access_log_document ON 资料下载记录 (文件编号);
CREATE INDEX ix_access_log_time ON 资料下载记录 (操作时间);
CREATE INDEX ix_access_log_employee ON 资料下载记录 (工号);
CREATE INDEX ix_access_log_department ON 资料下载记录 (部门);
-- The statistics group by document and filter by period: each of these two covers every column
-- the counts and the details read, so neither needs the table itself.
CREATE INDEX ix_access_log_grouping ON 资料下载记录 (文件编号, 文件名称, 摘要, 操作时间, 文件类别, 部门, 工号, 阅读, 下载);
CREATE INDEX ix_access_log_period ON 资料下载记录 (操作时间, 文件类别, 部门, 工号, 文件编号, 文件名称, 摘要, 阅读, 下载);

-- Full-text search inside the documents (owned by this module). One row per page (a sheet, a
-- slide) of a document's text, taken from the content whose upload time 版本 names; the state
-- of each document's indexing (0 pending, 1 indexing, 2 done, 3 no text, 4 failed) with the
-- content it is about. The index over the text reads its words with the tokenizer "quarvel" of
-- the client's own module (pairs and single characters of Chinese, words of other scripts).
CREATE TABLE 资料全文 (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    文件ID INTEGER NOT NULL,
    页码 INTEGER NOT NULL,
    版本 TEXT,
    文本 TEXT NOT NULL
);
CREATE INDEX ix_fulltext_document ON 资料全文 (文件ID, 页码);
CREATE TABLE 资料全文状态 (
    文件ID INTEGER PRIMARY KEY,
    状态 INTEGER NOT NULL,
    版本 TEXT,
    说明 TEXT COLLATE NOCASE_RTRIM
);
CREATE INDEX ix_fulltext_waiting ON 资料全文状态 (状态);
CREATE VIRTUAL TABLE 资料全文索引 USING fts5(文本, content='资料全文', content_rowid='ID', tokenize='quarvel');
CREATE TRIGGER tr_fulltext_insert AFTER INSERT ON 资料全文 BEGIN INSERT INTO 资料全文索引 (rowid, 文本) VALUES (new.ID, new.文本); END;
CREATE TRIGGER tr_fulltext_delete AFTER DELETE ON 资料全文 BEGIN INSERT INTO 资料全文索引 (资料全文索引, rowid, 文本) VALUES ('delete', old.ID, old.文本); END;
CREATE TRIGGER tr_fulltext_update AFTER UPDATE ON 资料全文 BEGIN INSERT INTO 资料全文索引 (资料全文索引, rowid, 文本) VALUES ('delete', old.ID, old.文本); INSERT INTO 资料全文索引 (rowid, 文本) VALUES (new.ID, new.文本); END;
