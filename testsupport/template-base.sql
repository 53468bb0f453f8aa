-- What every Kestrova database has before its own scripts run.
CREATE EXTENSION IF NOT EXISTS citext;
CREATE SCHEMA IF NOT EXISTS dbo;
