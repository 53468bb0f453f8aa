-- Creates the tables of an empty Kestrova database (schema version 14) in the schema dbo.
-- Batches are separated by lines reading GO. It inserts neither the version row nor the
-- history row: whoever creates the database writes those.
-- citext lives in dbo too, because every connection's search_path is dbo alone and its
-- case-blind operators must resolve there.
CREATE SCHEMA IF NOT EXISTS dbo;
CREATE EXTENSION IF NOT EXISTS citext SCHEMA dbo;
SET search_path = dbo;
GO

CREATE TABLE dbo.tblDBVersion (
    Version integer NOT NULL
);
CREATE TABLE dbo.tblHistoryStartDate (
    PK_ID varchar(38) NOT NULL,
    HistoryStartDate timestamp NULL
);
GO

CREATE TABLE dbo.tblContacts (
    PK_ContactID varchar(38) NOT NULL PRIMARY KEY,
    Title citext, FirstName citext, MiddleName citext, LastName citext, Suffix citext,
    Initials citext, NickName citext,
    Gender integer,
    DateOfBirth timestamp,
    Street citext, Address citext, City citext, State citext, Zip citext, Country citext,
    phone1 citext, phone2 citext, phone3 citext, Fax citext,
    EMail1 citext, EMail2 citext, EMail3 citext, Web citext,
    Comments citext,
    ContactPicture bytea,
    F_FamilyID varchar(38),
    FlagContact smallint NOT NULL DEFAULT 0,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);
CREATE INDEX tblContacts_Family ON dbo.tblContacts (F_FamilyID);

CREATE TABLE dbo.tblFamilies (
    PK_FamilyID varchar(38) NOT NULL PRIMARY KEY,
    FamilyName citext, FamilyStreet citext, FamilyAddress citext,
    FamilyCity citext, FamilyState citext, FamilyZip citext, FamilyCountry citext,
    FamilyPhone1 citext, FamilyPhone2 citext, FamilyEmail1 citext, FamilyEmail2 citext,
    FamilyWeb citext, FamilyComments citext,
    FamilyPicture bytea,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

CREATE TABLE dbo.tblGroups (
    PK_GroupID varchar(38) NOT NULL PRIMARY KEY,
    GroupName citext,
    F_ParentGroupID varchar(38),
    F_GroupContact varchar(38),
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

CREATE TABLE dbo.tblLnkGroupmembers (
    PK_LinkID varchar(38) NOT NULL PRIMARY KEY,
    F_GroupID varchar(38),
    F_MemberID varchar(38),
    F_MemberTypeID varchar(38)
);
CREATE INDEX tblLnkGroupmembers_Group ON dbo.tblLnkGroupmembers (F_GroupID);
CREATE INDEX tblLnkGroupmembers_Member ON dbo.tblLnkGroupmembers (F_MemberID);

CREATE TABLE dbo.tblContactTypes (
    PK_ContactTypeID varchar(38) NOT NULL PRIMARY KEY,
    ContactTypeName citext,
    SortIndex integer
);
GO

CREATE TABLE dbo.tblLocations (
    PK_LocationID varchar(38) NOT NULL PRIMARY KEY,
    LocationName citext, LocationAddress citext,
    LocationPhone1 citext, LocationPhone2 citext, LocationFax citext,
    LocationEMail citext, LocationWeb citext, LocationComments citext,
    SortIndex integer,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

CREATE TABLE dbo.tblLiturgyTemplates (
    PK_LiturgyTemplateID varchar(38) NOT NULL PRIMARY KEY,
    LiturgyTemplateName citext,
    F_LocationID varchar(38),
    LiturgyIndex integer,
    LiturgyTemplateComments citext,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

CREATE TABLE dbo.tblMinistryFunctions (
    PK_MinistryFunctionID varchar(38) NOT NULL PRIMARY KEY,
    MinistryFunctionName citext,
    MinistryFunctionAbr citext,
    MinistryFunctionDescription citext,
    AllowDuplicate smallint NOT NULL DEFAULT 0,
    SortIndex integer,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

CREATE TABLE dbo.tblMinistryTemplates (
    PK_MinistryTemplateID varchar(38) NOT NULL PRIMARY KEY,
    MinistryTemplateName citext,
    MinistryTemplateComments citext,
    SortIndex integer,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

-- The foreign key gets ON DELETE CASCADE from the patch ladder (version 21).
CREATE TABLE dbo.tblLnkMinistryTemplateToMinistryFunction (
    PK_LinkID varchar(38) NOT NULL PRIMARY KEY,
    F_MinistryTemplateID varchar(38),
    F_MinistryFunctionID varchar(38),
    MinistryFunctionCount integer DEFAULT 0,
    SortIndex integer,
    CONSTRAINT tblLnkMinistryTemplateToM_FK00 FOREIGN KEY (F_MinistryTemplateID)
        REFERENCES dbo.tblMinistryTemplates (PK_MinistryTemplateID)
);
GO

CREATE TABLE dbo.tblLnkServingPrefrence (
    PK_ServingPrefrenceID varchar(38) NOT NULL PRIMARY KEY,
    F_ContactID varchar(38),
    F_MinistryFunctionID varchar(38),
    ContactCanFillIn smallint NOT NULL DEFAULT 0,
    ContactType integer
);
CREATE INDEX tblLnkServingPrefrence_Contact ON dbo.tblLnkServingPrefrence (F_ContactID);
CREATE INDEX tblLnkServingPrefrence_Function ON dbo.tblLnkServingPrefrence (F_MinistryFunctionID);

CREATE TABLE dbo.tblServingPrefrenceLiturgy (
    PK_LinkID varchar(38) NOT NULL PRIMARY KEY,
    F_ServingPrefrenceID varchar(38),
    F_ContactID varchar(38),
    F_LiturgyTemplateID varchar(38)
);
CREATE INDEX tblServingPrefrenceLiturgy_Pref ON dbo.tblServingPrefrenceLiturgy (F_ServingPrefrenceID);

CREATE TABLE dbo.tblServingPrefrenceFrequency (
    PK_LinkID varchar(38) NOT NULL PRIMARY KEY,
    F_ServingPrefrenceID varchar(38),
    F_ContactID varchar(38),
    F_FrequencyID varchar(38)
);
CREATE INDEX tblServingPrefrenceFrequency_Pref ON dbo.tblServingPrefrenceFrequency (F_ServingPrefrenceID);

CREATE TABLE dbo.tblServingFrequency (
    PK_ServingFrequencyID varchar(38) NOT NULL PRIMARY KEY,
    ServingFreqencyAsInteger integer,
    ServingFrequencyDescription citext,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

CREATE TABLE dbo.tblLnkContactFunctionFrequency (
    PK_LinkID varchar(38) NOT NULL PRIMARY KEY,
    F_ContactID varchar(38),
    F_MinistryFunctionID varchar(38),
    F_FrequencyID varchar(38)
);

CREATE TABLE dbo.tblUnAvailiabillity (
    PK_UnavailiableID varchar(38) NOT NULL PRIMARY KEY,
    F_ContactID varchar(38),
    UnavailiableDate timestamp,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);
CREATE INDEX tblUnAvailiabillity_Contact ON dbo.tblUnAvailiabillity (F_ContactID);

CREATE TABLE dbo.tblLnkServingRules (
    PK_RuleLnkID varchar(38) NOT NULL PRIMARY KEY,
    F_OwnerMemberID varchar(38),
    F_OwnerMemberType varchar(38),
    F_RuleMemberID varchar(38),
    F_RuleMemberType varchar(38),
    F_RuleTypeID varchar(38),
    RuleMemberCaption citext,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDate timestamp
);
CREATE INDEX tblLnkServingRules_Owner ON dbo.tblLnkServingRules (F_OwnerMemberID);
CREATE INDEX tblLnkServingRules_Member ON dbo.tblLnkServingRules (F_RuleMemberID);

CREATE TABLE dbo.tblRuleTypes (
    PK_RuleTypeID varchar(38) NOT NULL PRIMARY KEY,
    RuleTypeDescription citext
);
GO

CREATE TABLE dbo.tblEvents (
    PK_EventID varchar(38) NOT NULL PRIMARY KEY,
    EventSubject citext,
    StartDateTime timestamp,
    EndDateTime timestamp,
    EventLocationID varchar(38),
    EventLocationCaption citext,
    EventMessage citext,
    EventType integer, EventState integer, EventOptions integer, EventResourceID integer,
    EventRecurrenceIndex integer,
    EventRecurrenceInfo bytea,
    F_EventParentID varchar(38),
    EventLabelColorID varchar(38),
    FlagEvent integer DEFAULT 0,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp,
    EventSynchID varchar(255) NULL
);
CREATE INDEX tblEvents_Start ON dbo.tblEvents (StartDateTime);

CREATE TABLE dbo.tblEventSeries (
    PK_SerieID varchar(38) NOT NULL PRIMARY KEY,
    NameOfSerie citext,
    StartDate timestamp,
    EndDate timestamp,
    RecurrentDayPattern integer,
    RecurrentWeekPattern integer
);

CREATE TABLE dbo.tblLnkEventSeries (
    PK_SerieLnk varchar(38) NOT NULL PRIMARY KEY,
    F_SerieID varchar(38),
    F_EventID varchar(38)
);

CREATE TABLE dbo.tblScheduledLiturgies (
    PK_ScheduledLiturgyID varchar(38) NOT NULL PRIMARY KEY,
    F_EventID varchar(38),
    F_LiturgyTemplateID varchar(38),
    FeastName citext,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);
CREATE INDEX tblScheduledLiturgies_Event ON dbo.tblScheduledLiturgies (F_EventID);

CREATE TABLE dbo.tblScheduledMinistryFunctions (
    PK_ScheduledMemberID varchar(38) NOT NULL PRIMARY KEY,
    F_ScheduledLiturgyID varchar(38),
    F_MinistryFunctionID varchar(38),
    F_MinistryMemberID varchar(38),
    F_MinistryMemberTypeID varchar(38),
    MemberLocked smallint NOT NULL DEFAULT 0,
    MemberNotAttended smallint NOT NULL DEFAULT 0,
    FlagMinister smallint NOT NULL DEFAULT 0,
    MemberPosition citext,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);
CREATE INDEX tblScheduledMinistryFunctions_Liturgy ON dbo.tblScheduledMinistryFunctions (F_ScheduledLiturgyID);
CREATE INDEX tblScheduledMinistryFunctions_Member ON dbo.tblScheduledMinistryFunctions (F_MinistryMemberID);

CREATE TABLE dbo.tblEventColors (
    PK_ColorID varchar(38) NOT NULL PRIMARY KEY,
    ColorDescription citext,
    ColorIntValue integer DEFAULT 0,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

-- Fifteen columns in the order of the calendar file (docs/database.md).
CREATE TABLE dbo.tblCalenderData (
    ID integer NOT NULL PRIMARY KEY,
    CalYear integer,
    CalMonth integer,
    CalDay integer,
    WeekDay integer,
    Date timestamp,
    Day citext,
    FullName citext,
    ShortName citext,
    Day_Color integer DEFAULT 0,
    FeastRef integer DEFAULT 0,
    Year citext,
    YearDC citext,
    SeasonWeek integer,
    Season citext
);
CREATE INDEX tblCalenderData_Date ON dbo.tblCalenderData (Date);
GO

CREATE TABLE dbo.tblUsers (
    PK_UserID varchar(38) NOT NULL PRIMARY KEY,
    LogonUsername citext,
    LogonPassword varchar(255),
    WindowsAccount citext,
    UseInteractiveLogon smallint NOT NULL DEFAULT 0,
    F_ContactID varchar(38),
    F_Userlevel varchar(38),
    LastLoginDate timestamp,
    LastPasswordChangeDate timestamp,
    SecretQuestion citext,
    SecretAnswer varchar(255),
    Comments citext,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

CREATE TABLE dbo.tblUserLevels (
    PK_UserLevelID varchar(38) NOT NULL PRIMARY KEY,
    UserLevelName citext,
    UserlevelValue integer,
    UserlevelComments citext,
    F_CreatedUserID varchar(38), CreatedDateTime timestamp,
    F_ModifiedUserID varchar(38), ModifiedDateTime timestamp
);

CREATE TABLE dbo.tblSettings (
    APPID citext NOT NULL,
    F_UserID varchar(38) NOT NULL,
    SettingsKey citext NOT NULL,
    SettingsValue citext,
    SystemSetting smallint NOT NULL DEFAULT 0,
    PRIMARY KEY (APPID, F_UserID, SettingsKey)
);

CREATE TABLE dbo.tblBlobSettings (
    PK_BlobSettingID integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    AppID citext,
    F_UserID varchar(38),
    BlobName citext,
    BlobData bytea
);
CREATE INDEX tblBlobSettings_Owner ON dbo.tblBlobSettings (AppID, F_UserID, BlobName);
GO

-- Display texts of a date-time for the report statements: at most 50, 8 and 30 characters.
CREATE FUNCTION dbo.ReportDate(value timestamp) RETURNS varchar(50)
LANGUAGE sql IMMUTABLE AS $$ SELECT to_char(value, 'FMDay, FMDD FMMonth YYYY')::varchar(50) $$;
CREATE FUNCTION dbo.ReportTime(value timestamp) RETURNS varchar(8)
LANGUAGE sql IMMUTABLE AS $$ SELECT to_char(value, 'HH24:MI')::varchar(8) $$;
CREATE FUNCTION dbo.ReportDateTime(value timestamp) RETURNS varchar(30)
LANGUAGE sql IMMUTABLE AS $$ SELECT to_char(value, 'YYYY-MM-DD HH24:MI')::varchar(30) $$;
GO

-- The scheduler's objects as a version-14 database holds them; the patch ladder replaces
-- them and adds the rest.
CREATE FUNCTION dbo.SinceLast(ContactID varchar, checkAgainst timestamp)
RETURNS integer LANGUAGE sql STABLE AS $$
    SELECT COALESCE((
        SELECT (EXTRACT(EPOCH FROM date_trunc('hour', checkAgainst) - date_trunc('hour', e.StartDateTime)) / 3600)::integer
        FROM tblScheduledLiturgies l
        INNER JOIN tblScheduledMinistryFunctions f ON f.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
        INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID
        WHERE f.F_MinistryMemberID = ContactID AND e.StartDateTime < checkAgainst
        ORDER BY e.StartDateTime DESC
        LIMIT 1), 4000000)
$$;
GO

CREATE FUNCTION dbo.step4_nw_ordered(templateID varchar, liturgyID varchar, functionID varchar)
RETURNS TABLE (PK_ContactID varchar, ContactCanFillIn smallint, NumAssigned integer, IsFillIn integer,
               LastName citext, HasPrefered integer, Random varchar)
LANGUAGE sql VOLATILE AS $$
    SELECT d.PK_ContactID, d.ContactCanFillIn, d.NumAssigned, d.IsFillIn, d.LastName, d.HasPrefered,
           '{' || upper(gen_random_uuid()::text) || '}'
    FROM (
        SELECT DISTINCT c.PK_ContactID, p.ContactCanFillIn,
            (SELECT COUNT(*) FROM tblScheduledMinistryFunctions a
             WHERE a.F_MinistryMemberID = c.PK_ContactID AND a.F_MinistryFunctionID = functionID)::integer AS NumAssigned,
            CASE WHEN pl.F_LiturgyTemplateID = templateID THEN 0 ELSE p.ContactCanFillIn END AS IsFillIn,
            c.LastName,
            CASE WHEN pl.F_LiturgyTemplateID = templateID THEN 0 ELSE 1 END AS HasPrefered
        FROM tblEvents e
        INNER JOIN tblScheduledLiturgies l ON e.PK_EventID = l.F_EventID
        INNER JOIN tblScheduledMinistryFunctions smf ON smf.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
        INNER JOIN tblLnkServingPrefrence p ON p.F_MinistryFunctionID = smf.F_MinistryFunctionID
        INNER JOIN tblContacts c ON c.PK_ContactID = p.F_ContactID
        LEFT JOIN tblServingPrefrenceLiturgy pl ON pl.F_ServingPrefrenceID = p.PK_ServingPrefrenceID
        WHERE NOT EXISTS (SELECT 1 FROM tblUnAvailiabillity u
                          WHERE u.F_ContactID = c.PK_ContactID AND u.UnavailiableDate::date = e.StartDateTime::date)
          AND smf.F_MinistryFunctionID = functionID
          AND l.PK_ScheduledLiturgyID = liturgyID
          AND ((pl.F_LiturgyTemplateID = templateID OR pl.F_LiturgyTemplateID IS NULL) OR p.ContactCanFillIn = 1)
    ) d
    ORDER BY d.IsFillIn, d.NumAssigned, d.HasPrefered, d.PK_ContactID, d.ContactCanFillIn
$$;
GO

CREATE FUNCTION dbo.step4_weekend_ordered(weekNum integer, templateID varchar, liturgyID varchar, functionID varchar)
RETURNS TABLE (PK_ContactID varchar, ContactCanFillIn smallint, NumAssigned integer, IsFillIn integer,
               LastName citext, HasPrefered integer, Random varchar)
LANGUAGE sql VOLATILE AS $$
    SELECT d.PK_ContactID, d.ContactCanFillIn, d.NumAssigned, d.IsFillIn, d.LastName, d.HasPrefered,
           '{' || upper(gen_random_uuid()::text) || '}'
    FROM (
        SELECT DISTINCT c.PK_ContactID, p.ContactCanFillIn,
            (SELECT COUNT(*) FROM tblScheduledMinistryFunctions a
             WHERE a.F_MinistryMemberID = c.PK_ContactID AND a.F_MinistryFunctionID = functionID)::integer AS NumAssigned,
            CASE WHEN sf.ServingFreqencyAsInteger = weekNum OR pl.F_LiturgyTemplateID = templateID THEN 0
                 WHEN p.ContactCanFillIn = 1 THEN 1 ELSE 0 END AS IsFillIn,
            c.LastName,
            CASE WHEN sf.ServingFreqencyAsInteger = weekNum AND pl.F_LiturgyTemplateID = templateID THEN 0
                 WHEN sf.ServingFreqencyAsInteger = weekNum OR pl.F_LiturgyTemplateID = templateID THEN 1
                 ELSE 2 END AS HasPrefered
        FROM tblEvents e
        INNER JOIN tblScheduledLiturgies l ON e.PK_EventID = l.F_EventID
        INNER JOIN tblScheduledMinistryFunctions smf ON smf.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
        INNER JOIN tblLnkServingPrefrence p ON p.F_MinistryFunctionID = smf.F_MinistryFunctionID
        INNER JOIN tblContacts c ON c.PK_ContactID = p.F_ContactID
        LEFT JOIN tblServingPrefrenceLiturgy pl ON pl.F_ServingPrefrenceID = p.PK_ServingPrefrenceID
        LEFT JOIN tblServingPrefrenceFrequency pf ON pf.F_ServingPrefrenceID = p.PK_ServingPrefrenceID
        LEFT JOIN tblServingFrequency sf ON pf.F_FrequencyID = sf.PK_ServingFrequencyID
        WHERE NOT EXISTS (SELECT 1 FROM tblUnAvailiabillity u
                          WHERE u.F_ContactID = c.PK_ContactID AND u.UnavailiableDate::date = e.StartDateTime::date)
          AND smf.F_MinistryFunctionID = functionID
          AND l.PK_ScheduledLiturgyID = liturgyID
          AND ((pl.F_LiturgyTemplateID = templateID OR pl.F_LiturgyTemplateID IS NULL) OR p.ContactCanFillIn = 1)
          AND ((sf.ServingFreqencyAsInteger = weekNum OR sf.ServingFreqencyAsInteger IS NULL) OR p.ContactCanFillIn = 1)
    ) d
    ORDER BY d.IsFillIn, d.NumAssigned, d.HasPrefered, d.PK_ContactID, d.ContactCanFillIn
$$;
GO

CREATE FUNCTION dbo.step3_ordered(liturgyID varchar)
RETURNS TABLE (F_MinistryFunctionID varchar, PK_ScheduledMemberID varchar, AllowDuplicate smallint,
               MemberLocked smallint, F_MinistryMemberID varchar, F_MinistryMemberTypeID varchar,
               FlagMinister smallint, MinistryFunctionName citext, Ant integer)
LANGUAGE sql STABLE AS $$
    SELECT s.F_MinistryFunctionID, s.PK_ScheduledMemberID, f.AllowDuplicate, s.MemberLocked,
           s.F_MinistryMemberID, s.F_MinistryMemberTypeID, s.FlagMinister, f.MinistryFunctionName,
           (SELECT COUNT(*) FROM tblScheduledMinistryFunctions mf
            WHERE mf.F_ScheduledLiturgyID = liturgyID AND mf.F_MinistryFunctionID = s.F_MinistryFunctionID)::integer
    FROM tblScheduledMinistryFunctions s
    INNER JOIN tblMinistryFunctions f ON s.F_MinistryFunctionID = f.PK_MinistryFunctionID
    WHERE s.F_ScheduledLiturgyID = liturgyID
    ORDER BY 9, s.F_MinistryFunctionID, s.PK_ScheduledMemberID
$$;
GO
