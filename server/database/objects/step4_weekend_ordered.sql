-- Candidates for one open function of a weekend liturgy: people who prefer the liturgy (or
-- name none) before fill-ins, then the highest rotation ratio, the longest time since serving,
-- the stronger preference and the fewest assignments; ties fall to the contact key.
CREATE FUNCTION step4_weekend_ordered(weekNum integer, templateID varchar, liturgyID varchar, functionID varchar, historyStartDate timestamp)
RETURNS TABLE (PK_ContactID varchar, ContactCanFillIn smallint, NumAssigned integer, IsFillIn integer,
               LastName citext, HasPrefered integer, Random varchar, NumFunctions integer,
               SidenSist integer, RRatio double precision)
LANGUAGE sql VOLATILE AS $$
    SELECT d.PK_ContactID, d.ContactCanFillIn, d.NumAssigned, d.IsFillIn, d.LastName, d.HasPrefered,
           '{' || upper(gen_random_uuid()::text) || '}', d.NumFunctions, d.SidenSist, d.RRatio
    FROM (
        SELECT DISTINCT c.PK_ContactID, p.ContactCanFillIn,
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
    ) d
    ORDER BY d.IsFillIn, d.RRatio DESC, d.SidenSist DESC, d.HasPrefered, d.NumAssigned, d.PK_ContactID, d.ContactCanFillIn
$$
