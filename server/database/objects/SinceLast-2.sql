-- Hours (hour boundaries crossed) from the person's last assignment before checkAgainst, counted
-- from the history start; 4000000 for a person who never served in that window. The person's
-- own rows come first, through the member index; PL/pgSQL keeps the plan for the session.
CREATE FUNCTION SinceLast(ContactID varchar, checkAgainst timestamp, historyStartDate timestamp)
RETURNS integer LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN (
        WITH own AS MATERIALIZED (
            SELECT f.F_ScheduledLiturgyID FROM tblScheduledMinistryFunctions f WHERE f.F_MinistryMemberID = ContactID)
        SELECT COALESCE((
            SELECT (EXTRACT(EPOCH FROM date_trunc('hour', checkAgainst) - date_trunc('hour', MAX(e.StartDateTime))) / 3600)::integer
            FROM own
            INNER JOIN tblScheduledLiturgies l ON own.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
            INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID
            WHERE e.StartDateTime < checkAgainst
              AND e.StartDateTime >= historyStartDate), 4000000));
END
$$
