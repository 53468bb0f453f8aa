-- The rows that whoever creates a database writes after the three scripts: the schema version
-- the scripts build (14) and the history start. Used by the test template and scripts/run.
SET search_path = dbo;
GO
INSERT INTO tblHistoryStartDate VALUES ('{B560F2F6-06F1-4233-9644-82857C983CAF}', '1900-01-01');
INSERT INTO tblDBVersion VALUES (14);
GO
