-- Candidates for one open function of a non-weekend liturgy: people who prefer the liturgy (or
-- name none) before fill-ins, then the highest rotation ratio, the longest time since serving,
-- the stronger preference and the fewest assignments; ties fall to the contact key. Duplicate
-- rows are removed first and the person's values computed once per person; PL/pgSQL keeps
-- the plan for the session.
CREATE FUNCTION step4_nw_ordered(templateID varchar, liturgyID varchar, functionID varchar, historyStartDate timestamp)
RETURNS TABLE (PK_ContactID varchar, ContactCanFillIn smallint, NumAssigned integer, IsFillIn integer,
               LastName citext, HasPrefered integer, Random varchar, NumFunctions integer,
               SidenSist integer, RRatio double precision)
LANGUAGE plpgsql VOLATILE AS $$
#variable_conflict use_column
BEGIN
    RETURN QUERY
        WITH cand AS MATERIALIZED (
            SELECT DISTINCT c.PK_ContactID, p.ContactCanFillIn,
                CASE WHEN pl.F_LiturgyTemplateID = templateID THEN 0 ELSE p.ContactCanFillIn END AS IsFillIn,
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
        ), person AS MATERIALIZED (
            SELECT x.PK_ContactID,
                NumAssigned(x.PK_ContactID, historyStartDate, x.StartDateTime) AS NumAssigned,
                (SELECT COUNT(*) FROM tblLnkServingPrefrence n WHERE n.F_ContactID = x.PK_ContactID)::integer AS NumFunctions,
                SinceLast(x.PK_ContactID, x.StartDateTime, historyStartDate) AS SidenSist,
                RotationRatio(x.PK_ContactID, functionID, x.StartDateTime, historyStartDate) AS RRatio
            FROM (SELECT DISTINCT cand.PK_ContactID, cand.StartDateTime FROM cand) x
        )
        SELECT d.PK_ContactID, d.ContactCanFillIn, v.NumAssigned, d.IsFillIn, d.LastName, d.HasPrefered,
               ('{' || upper(gen_random_uuid()::text) || '}')::varchar, v.NumFunctions, v.SidenSist, v.RRatio
        FROM cand d INNER JOIN person v ON v.PK_ContactID = d.PK_ContactID
        ORDER BY d.IsFillIn, v.RRatio DESC, v.SidenSist DESC, d.HasPrefered, v.NumAssigned, d.PK_ContactID, d.ContactCanFillIn;
END
$$
