-- Hours (hour boundaries crossed) from the person's last assignment before checkAgainst, counted
-- from the history start; 4000000 for a person who never served in that window.
CREATE FUNCTION SinceLast(ContactID varchar, checkAgainst timestamp, historyStartDate timestamp)
RETURNS integer LANGUAGE sql STABLE AS $$
    SELECT COALESCE((
        SELECT (EXTRACT(EPOCH FROM date_trunc('hour', checkAgainst) - date_trunc('hour', e.StartDateTime)) / 3600)::integer
        FROM tblScheduledLiturgies l
        INNER JOIN tblScheduledMinistryFunctions f ON f.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
        INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID
        WHERE f.F_MinistryMemberID = ContactID
          AND e.StartDateTime < checkAgainst
          AND e.StartDateTime >= historyStartDate
        ORDER BY e.StartDateTime DESC
        LIMIT 1), 4000000)
$$
