-- Weighted candidates: rotation ratio, time since serving (a person who never served counts
-- above everyone else) and preference, each scaled by its weight. All rows of a person carry
-- the weight of the person's strongest preference. Duplicate rows are removed first and the
-- person's values computed once per person.
CREATE FUNCTION Step4(weekNum integer, templateID varchar, liturgyID varchar, functionID varchar, historyStartDate timestamp,
                      RWeight double precision, SWeight double precision, HPWeight double precision)
RETURNS TABLE (PK_ContactID varchar, ContactName varchar(255), ContactCanFillIn smallint, NumAssigned integer,
               IsFillIn integer, LastName varchar(255), HasPrefered integer, Random varchar,
               NumFunctions integer, SidenSist double precision, RRatio double precision, weighter double precision)
LANGUAGE plpgsql STABLE AS $$
#variable_conflict use_column
BEGIN
    RETURN QUERY
    WITH cand AS MATERIALIZED (
        SELECT DISTINCT c.PK_ContactID, p.ContactCanFillIn,
            (c.FirstName || ' ' || c.LastName) AS ContactName,
            CASE WHEN pl.F_LiturgyTemplateID = templateID OR pl.F_LiturgyTemplateID IS NULL THEN 0 ELSE p.ContactCanFillIn END AS IsFillIn,
            c.LastName,
            CASE WHEN pl.F_LiturgyTemplateID = templateID THEN 0 ELSE 1 END AS HasPrefered,
            e.StartDateTime
        FROM tblEvents e
        INNER JOIN tblScheduledLiturgies l ON e.PK_EventID = l.F_EventID
        INNER JOIN tblScheduledMinistryFunctions smf ON smf.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
        INNER JOIN tblLnkServingPrefrence p ON p.F_MinistryFunctionID = smf.F_MinistryFunctionID
        INNER JOIN tblContacts c ON c.PK_ContactID = p.F_ContactID
        LEFT JOIN tblServingPrefrenceLiturgy pl ON pl.F_ServingPrefrenceID = p.PK_ServingPrefrenceID
        WHERE NOT EXISTS (SELECT 1 FROM tblUnAvailiabillity u
                          WHERE u.F_ContactID = c.PK_ContactID
                            AND u.UnavailiableDate::date = e.StartDateTime::date)
          AND smf.F_MinistryFunctionID = functionID
          AND l.PK_ScheduledLiturgyID = liturgyID
          AND ((pl.F_LiturgyTemplateID = templateID OR pl.F_LiturgyTemplateID IS NULL) OR p.ContactCanFillIn = 1)
        AND weekNum = -1
        UNION
        SELECT DISTINCT c.PK_ContactID, p.ContactCanFillIn,
            (c.FirstName || ' ' || c.LastName) AS ContactName,
            CASE WHEN sf.ServingFreqencyAsInteger = weekNum OR pl.F_LiturgyTemplateID = templateID
                      OR (sf.ServingFreqencyAsInteger IS NULL AND pl.F_LiturgyTemplateID IS NULL) THEN 0
                 ELSE p.ContactCanFillIn END AS IsFillIn,
            c.LastName,
            CASE WHEN sf.ServingFreqencyAsInteger = weekNum AND pl.F_LiturgyTemplateID = templateID THEN 0
                 WHEN sf.ServingFreqencyAsInteger = weekNum OR pl.F_LiturgyTemplateID = templateID THEN 1
                 ELSE 2 END AS HasPrefered,
            e.StartDateTime
        FROM tblEvents e
        INNER JOIN tblScheduledLiturgies l ON e.PK_EventID = l.F_EventID
        INNER JOIN tblScheduledMinistryFunctions smf ON smf.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
        INNER JOIN tblLnkServingPrefrence p ON p.F_MinistryFunctionID = smf.F_MinistryFunctionID
        INNER JOIN tblContacts c ON c.PK_ContactID = p.F_ContactID
        LEFT JOIN tblServingPrefrenceLiturgy pl ON pl.F_ServingPrefrenceID = p.PK_ServingPrefrenceID
        LEFT JOIN tblServingPrefrenceFrequency pf ON pf.F_ServingPrefrenceID = p.PK_ServingPrefrenceID
        LEFT JOIN tblServingFrequency sf ON pf.F_FrequencyID = sf.PK_ServingFrequencyID
        WHERE NOT EXISTS (SELECT 1 FROM tblUnAvailiabillity u
                          WHERE u.F_ContactID = c.PK_ContactID
                            AND u.UnavailiableDate::date = e.StartDateTime::date)
          AND smf.F_MinistryFunctionID = functionID
          AND l.PK_ScheduledLiturgyID = liturgyID
          AND ((pl.F_LiturgyTemplateID = templateID OR pl.F_LiturgyTemplateID IS NULL) OR p.ContactCanFillIn = 1)
          AND ((sf.ServingFreqencyAsInteger = weekNum OR sf.ServingFreqencyAsInteger IS NULL) OR p.ContactCanFillIn = 1)
        AND weekNum <> -1
    ), personal AS MATERIALIZED (
        SELECT x.PK_ContactID,
            NumAssigned(x.PK_ContactID, historyStartDate, x.StartDateTime) AS NumAssigned,
            (SELECT COUNT(*) FROM tblLnkServingPrefrence n WHERE n.F_ContactID = x.PK_ContactID)::integer AS NumFunctions,
            SinceLast(x.PK_ContactID, x.StartDateTime, historyStartDate) AS SidenSist,
            RotationRatio(x.PK_ContactID, functionID, x.StartDateTime, historyStartDate) AS RRatio
        FROM (SELECT DISTINCT cand.PK_ContactID, cand.StartDateTime FROM cand) x
    ), r AS (
        SELECT cand.PK_ContactID, cand.ContactName::varchar(255) AS ContactName, cand.ContactCanFillIn,
               v.NumAssigned, cand.IsFillIn::integer AS IsFillIn, cand.LastName::varchar(255) AS LastName,
               cand.HasPrefered, v.NumFunctions, v.SidenSist::double precision AS SidenSist, v.RRatio
        FROM cand INNER JOIN personal v ON v.PK_ContactID = cand.PK_ContactID
    ), m AS (
        SELECT MAX(r.RRatio) AS maxRR, COALESCE(MAX(r.SidenSist) FILTER (WHERE r.SidenSist < 4000000), 4000000)::double precision AS maxSS FROM r
    ), w AS (
        SELECT r.*, CASE WHEN r.RRatio = 0 THEN
                      CASE WHEN m.maxSS = 0 THEN 0 ELSE (r.SidenSist / m.maxSS) * SWeight + ((CASE r.HasPrefered WHEN 2 THEN 0 WHEN 0 THEN 2 ELSE r.HasPrefered END) / 2.0) * HPWeight END
                  ELSE (CASE WHEN m.maxRR = 0 THEN 0 ELSE (r.RRatio / m.maxRR) * RWeight END)
                       + (CASE WHEN m.maxSS = 0 THEN 0 ELSE (r.SidenSist / m.maxSS) * SWeight END)
                       + ((CASE r.HasPrefered WHEN 2 THEN 0 WHEN 0 THEN 2 ELSE r.HasPrefered END) / 2.0) * HPWeight END AS weight
        FROM r CROSS JOIN m
    ), person AS (
        SELECT DISTINCT ON (w.PK_ContactID) w.PK_ContactID, w.weight
        FROM w ORDER BY w.PK_ContactID, w.HasPrefered, w.IsFillIn
    )
    SELECT w.PK_ContactID, w.ContactName, w.ContactCanFillIn, w.NumAssigned, w.IsFillIn, w.LastName,
           w.HasPrefered, '{4397799D-D70F-4097-A6D6-04E09DE84AAD}'::varchar, w.NumFunctions,
           w.SidenSist, w.RRatio, person.weight::double precision
    FROM w INNER JOIN person ON person.PK_ContactID = w.PK_ContactID
    ORDER BY w.IsFillIn, person.weight DESC, w.PK_ContactID, w.HasPrefered;
END
$$
