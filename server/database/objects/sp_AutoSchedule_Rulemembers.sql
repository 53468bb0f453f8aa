-- Every rule between the person and another member, seen from either side, without duplicates.
CREATE FUNCTION sp_AutoSchedule_Rulemembers(OwnerID varchar, MemberID varchar)
RETURNS TABLE (Contact varchar, Rule varchar)
LANGUAGE sql STABLE AS $$
    SELECT tblLnkServingRules.F_RuleMemberID, tblLnkServingRules.F_RuleTypeID
    FROM tblLnkServingRules
    WHERE F_OwnerMemberID = OwnerID
    UNION
    SELECT tblLnkServingRules.F_OwnerMemberID, tblLnkServingRules.F_RuleTypeID
    FROM tblLnkServingRules
    WHERE F_RuleMemberID = MemberID
    ORDER BY 1, 2
$$
