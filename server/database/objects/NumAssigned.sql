-- Assignments of a person, in any function, whose event starts from the history start up to
-- nowDate, both ends included.
CREATE FUNCTION NumAssigned(contactID varchar, historyStartDate timestamp, nowDate timestamp)
RETURNS integer LANGUAGE sql STABLE AS $$
    SELECT COUNT(*)::integer
    FROM tblScheduledMinistryFunctions
    INNER JOIN tblScheduledLiturgies ON tblScheduledMinistryFunctions.F_ScheduledLiturgyID = tblScheduledLiturgies.PK_ScheduledLiturgyID
    INNER JOIN tblEvents ON tblScheduledLiturgies.F_EventID = tblEvents.PK_EventID
    WHERE F_MinistryMemberID = contactID
      AND tblEvents.StartDateTime BETWEEN historyStartDate AND nowDate
$$
