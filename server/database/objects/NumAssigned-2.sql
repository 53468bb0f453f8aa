-- Assignments of a person, in any function, whose event starts from the history start up to
-- nowDate, both ends included. The person's own rows come first, through the member index, so
-- the cost follows the person's history rather than the parish's; PL/pgSQL keeps the plan
-- for the session.
CREATE FUNCTION NumAssigned(contactID varchar, historyStartDate timestamp, nowDate timestamp)
RETURNS integer LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN (
        WITH own AS MATERIALIZED (
            SELECT f.F_ScheduledLiturgyID FROM tblScheduledMinistryFunctions f WHERE f.F_MinistryMemberID = contactID)
        SELECT COUNT(*)::integer
        FROM own
        INNER JOIN tblScheduledLiturgies l ON own.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
        INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID
        WHERE e.StartDateTime BETWEEN historyStartDate AND nowDate);
END
$$
