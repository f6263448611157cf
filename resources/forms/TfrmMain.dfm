object frmMain: TfrmMain
  Left = 120
  Top = 80
  Caption = 'Corvane: Tidewell'
  ClientHeight = 440
  ClientWidth = 640
  HelpContext = 1
  KeyPreview = True
  Menu = MainMenu
  OnCreate = FormCreate
  OnDestroy = FormDestroy
  OnKeyUp = FormKeyUp
  OnShow = FormShow
  OnHide = FormHide
  object DockTop: TDockX
    Position = dpTop
    object ToolbarTime: TToolbarX
      Caption = 'Transit'
      CloseButton = False
      DockPos = 0
      DockRow = 0
      object Transit: TLabel
        Left = 4
        Top = 6
        Caption = '  Transit  '
      end
      object dfTransDate: TFkPictureField
        Left = 60
        Top = 2
        Width = 90
        Height = 21
        DataType = pftDate
        PictureMask = 'dd/mm/yyyy'
        MaxLength = 10
        Epoch = 1910
        InitDateTime = True
        SoftValidation = True
        ForceOvertype = True
        ArrowIncDec = True
        AutoAdvanceChar = True
        OnEnter = dfTransDateEnter
        OnExit = dfTransDateExit
      end
      object dfTransBtn: TFkAttachedButton
        Left = 150
        Top = 2
        Width = 17
        Height = 21
        AttachedControl = dfTransDate
        OnClick = dfTransBtnClick
      end
    end
    object ToolbarX: TToolbarX
      Caption = 'Persons'
      CloseButton = False
      DockPos = 148
      DockRow = 0
      object pbInfo: TToolbarButtonX
        Width = 60
        Height = 22
        Caption = 'About'
        OnClick = pbInfoClick
      end
      object pbPers1: TToolbarButtonX
        Tag = 1
        Width = 70
        Height = 22
        Caption = 'Person 1'
        OnClick = pbPersClick
      end
      object pbPers2: TToolbarButtonX
        Tag = 2
        Width = 70
        Height = 22
        Caption = 'Person 2'
        OnClick = pbPersClick
      end
      object pbPers3: TToolbarButtonX
        Tag = 3
        Width = 70
        Height = 22
        Caption = 'Person 3'
        OnClick = pbPersClick
      end
      object pbPers4: TToolbarButtonX
        Tag = 4
        Width = 70
        Height = 22
        Caption = 'Person 4'
        OnClick = pbPersClick
      end
      object ToolbarSepX2: TToolbarSepX
      end
      object pbPrint: TToolbarButtonX
        Width = 50
        Height = 22
        Caption = 'Print'
        OnClick = pbPrintClick
      end
      object pbExit: TToolbarButtonX
        Width = 50
        Height = 22
        Caption = 'Exit'
        OnClick = pbExitClick
      end
    end
  end
  object DockLeft: TDockX
    Position = dpLeft
  end
  object DockRight: TDockX
    Position = dpRight
  end
  object DockBottom: TDockX
    Position = dpBottom
  end
  object rtext: TRiRichText
    Align = alClient
  end
  object MainMenu: TMainMenu
    object mnuFile: TMenuItem
      Caption = '&File'
      object mnuPrint: TMenuItem
        Caption = '&Print'
        ShortCut = 16464
        OnClick = mnuPrintClick
      end
      object mnuPageSetup: TMenuItem
        Caption = 'Page-&Setup'
        OnClick = mnuPageSetupClick
      end
      object N1: TMenuItem
        Caption = '-'
      end
      object mnuExit: TMenuItem
        Caption = 'E&xit'
        OnClick = mnuExitClick
      end
    end
    object mnuEdit: TMenuItem
      Caption = '&Edit'
      object mnuOptions: TMenuItem
        Caption = '&Options'
        OnClick = mnuOptionsClick
      end
    end
    object mnuHelp: TMenuItem
      Caption = '&Help'
      ShortCut = 112
      object mnuHelpContents: TMenuItem
        Caption = '&Contents'
        OnClick = mnuHelpContentsClick
      end
      object mnuHelpCompany: TMenuItem
        Caption = '&Corvane'
        OnClick = mnuHelpCompanyClick
      end
      object mnuAbout: TMenuItem
        Caption = '&About'
        OnClick = mnuAboutClick
      end
    end
  end
  object TimerRecalc: TTimer
    Enabled = False
    Interval = 1800000
    OnTimer = TimerRecalcTimer
  end
  object FkController1: TFkController
  end
end
