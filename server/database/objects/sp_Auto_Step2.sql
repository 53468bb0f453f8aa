-- The scheduled liturgies whose event starts in the period, both ends included, earliest first.
CREATE FUNCTION sp_Auto_Step2(StartDate timestamp, EndDate timestamp)
RETURNS TABLE (PK_ScheduledLiturgyID varchar, StartDateTime timestamp, F_LiturgyTemplateID varchar, F_EventID varchar)
LANGUAGE sql STABLE AS $$
    SELECT tblScheduledLiturgies.PK_ScheduledLiturgyID, tblEvents.StartDateTime,
           tblScheduledLiturgies.F_LiturgyTemplateID, tblScheduledLiturgies.F_EventID
    FROM tblScheduledLiturgies INNER JOIN tblEvents ON tblScheduledLiturgies.F_EventID = tblEvents.PK_EventID
    WHERE tblEvents.StartDateTime >= StartDate AND tblEvents.StartDateTime <= EndDate
    ORDER BY tblEvents.StartDateTime, tblScheduledLiturgies.PK_ScheduledLiturgyID
$$
