-- Rotation ratio, form 1 of the ladder's four: other assignments since the person last
-- served this function, in units of the person's number of functions.
CREATE FUNCTION RotationRatio(ContactID varchar, FunctionID varchar, nowDate timestamp, historyStartDate timestamp)
RETURNS double precision LANGUAGE plpgsql STABLE AS $$
DECLARE
    numFunctions integer;
    funcsBetween integer := 0;
    isUsed integer;
    served varchar;
    result double precision;
BEGIN
    SELECT COUNT(*) INTO numFunctions FROM tblLnkServingPrefrence WHERE F_ContactID = ContactID;
    IF numFunctions = 1 THEN
        RETURN 0.49;
    END IF;
    -- A person with no serving preference has no ratio (it would divide by zero).
    IF numFunctions = 0 THEN
        RETURN 0;
    END IF;
    FOR served IN
        SELECT f.F_MinistryFunctionID
        FROM tblScheduledMinistryFunctions f
        INNER JOIN tblScheduledLiturgies l ON f.F_ScheduledLiturgyID = l.PK_ScheduledLiturgyID
        INNER JOIN tblEvents e ON l.F_EventID = e.PK_EventID
        WHERE f.F_MinistryMemberID = ContactID
          AND e.StartDateTime BETWEEN historyStartDate AND nowDate
        ORDER BY e.StartDateTime DESC, f.PK_ScheduledMemberID
    LOOP
        IF served = FunctionID THEN
            EXIT;
        END IF;
        funcsBetween := funcsBetween + 1;
    END LOOP;
    result := funcsBetween / CAST(numFunctions AS double precision);
    RETURN result;
END
$$
