-- Weighted candidates, first form: rotation ratio and time since serving count half each.
-- All rows of a person carry the weight of the person's strongest preference.
CREATE FUNCTION Step4(weekNum integer, templateID varchar, liturgyID varchar, functionID varchar, historyStartDate timestamp)
RETURNS TABLE (PK_ContactID varchar, ContactName varchar(255), ContactCanFillIn smallint, NumAssigned integer,
               IsFillIn integer, LastName varchar(255), HasPrefered integer, Random varchar,
               NumFunctions integer, SidenSist double precision, RRatio double precision, weighter double precision)
LANGUAGE plpgsql STABLE AS $$
#variable_conflict use_column
BEGIN
    RETURN QUERY
    WITH cand AS (
        SELECT DISTINCT c.PK_ContactID, p.ContactCanFillIn,
            (c.FirstName || ' ' || c.LastName) AS ContactName,
            NumAssigned(c.PK_ContactID, historyStartDate, e.StartDateTime) AS NumAssigned,
            CASE WHEN pl.F_LiturgyTemplateID = templateID THEN 0 ELSE p.ContactCanFillIn END AS IsFillIn,
            c.LastName,
            CASE WHEN pl.F_LiturgyTemplateID = templateID THEN 0 ELSE 1 END AS HasPrefered,
            (SELECT COUNT(*) FROM tblLnkServingPrefrence x WHERE x.F_ContactID = c.PK_ContactID)::integer AS NumFunctions,
            SinceLast(c.PK_ContactID, e.StartDateTime, historyStartDate) AS SidenSist,
            RotationRatio(c.PK_ContactID, functionID, e.StartDateTime, historyStartDate) AS RRatio
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
            NumAssigned(c.PK_ContactID, historyStartDate, e.StartDateTime) AS NumAssigned,
            CASE WHEN sf.ServingFreqencyAsInteger = weekNum OR pl.F_LiturgyTemplateID = templateID THEN 0 WHEN p.ContactCanFillIn = 1 THEN 1 ELSE 0 END AS IsFillIn,
            c.LastName,
            CASE WHEN sf.ServingFreqencyAsInteger = weekNum AND pl.F_LiturgyTemplateID = templateID THEN 0
                 WHEN sf.ServingFreqencyAsInteger = weekNum OR pl.F_LiturgyTemplateID = templateID THEN 1
                 ELSE 2 END AS HasPrefered,
            (SELECT COUNT(*) FROM tblLnkServingPrefrence x WHERE x.F_ContactID = c.PK_ContactID)::integer AS NumFunctions,
            SinceLast(c.PK_ContactID, e.StartDateTime, historyStartDate) AS SidenSist,
            RotationRatio(c.PK_ContactID, functionID, e.StartDateTime, historyStartDate) AS RRatio
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
    ), r AS (
        SELECT cand.PK_ContactID, cand.ContactName::varchar(255) AS ContactName, cand.ContactCanFillIn,
               cand.NumAssigned, cand.IsFillIn::integer AS IsFillIn, cand.LastName::varchar(255) AS LastName,
               cand.HasPrefered, cand.NumFunctions, cand.SidenSist::double precision AS SidenSist, cand.RRatio
        FROM cand
    ), m AS (
        SELECT MAX(r.RRatio) AS maxRR, MAX(r.SidenSist)::double precision AS maxSS FROM r
    ), w AS (
        SELECT r.*, CASE WHEN r.RRatio = 0 THEN
                      CASE WHEN m.maxSS = 0 THEN 0 ELSE (r.SidenSist / m.maxSS) * 0.5 END
                  ELSE ((CASE WHEN m.maxRR = 0 THEN 0 ELSE (r.RRatio / m.maxRR) * 0.5 END)
                        + (CASE WHEN m.maxSS = 0 THEN 0 ELSE (r.SidenSist / m.maxSS) * 0.5 END)) / 2 END AS weight
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
