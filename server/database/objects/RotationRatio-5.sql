-- Rotation ratio, as form 4: other assignments since the person last served this function, in
-- units of the person's number of functions; 0 for a person with one function (or none) or no
-- assignment in the window. The person's own rows come first, through the member index, and
-- are numbered newest first (by key within one start) instead of walked by a cursor;
-- PL/pgSQL keeps the plan for the session.
CREATE FUNCTION RotationRatio(ContactID varchar, FunctionID varchar, nowDate timestamp, historyStartDate timestamp)
RETURNS double precision LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN (
        WITH own AS MATERIALIZED (
            SELECT f.F_ScheduledLiturgyID, f.F_MinistryFunctionID, f.PK_ScheduledMemberID
            FROM tblScheduledMinistryFunctions f WHERE f.F_MinistryMemberID = ContactID
        ), served AS (
            SELECT own.F_MinistryFunctionID AS fn,
                   row_number() OVER (ORDER BY e.StartDateTime DESC, own.PK_ScheduledMemberID) AS n
            FROM own
            INNER JOIN tblScheduledLiturgies l ON own.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
            INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID
            WHERE e.StartDateTime BETWEEN historyStartDate AND nowDate
        ), functions AS (
            SELECT COUNT(*) AS n FROM tblLnkServingPrefrence WHERE F_ContactID = ContactID
        )
        SELECT CASE WHEN functions.n <= 1 THEN 0
                    ELSE COALESCE((SELECT MIN(served.n) - 1 FROM served WHERE served.fn = FunctionID),
                                  (SELECT COUNT(*) FROM served)) / CAST(functions.n AS double precision) END
        FROM functions);
END
$$
