-- What every Kestrova database has before its own scripts run. citext lives in dbo, the one
-- schema on every connection's search_path, so its case-blind operators resolve there.
CREATE SCHEMA IF NOT EXISTS dbo;
CREATE EXTENSION IF NOT EXISTS citext SCHEMA dbo;
