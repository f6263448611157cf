object frmOptions: TfrmOptions
  Left = 200
  Top = 120
  BorderIcons = []
  BorderStyle = bsDialog
  Caption = 'Options'
  ClientHeight = 330
  ClientWidth = 460
  Position = poScreenCenter
  HelpContext = 3
  OnCreate = FormCreate
  OnKeyUp = FormKeyUp
  OnShow = FormShow
  OnHide = FormHide
  object pnlToolbar: TPanel
    Left = 0
    Top = 0
    Width = 460
    Height = 34
    Align = alTop
    object pbHelp: TButton
      Left = 4
      Top = 4
      Width = 75
      Height = 25
      Caption = '&Help'
      OnClick = pbHelpClick
    end
    object LangSwitch1: TLangSwitch
      Left = 120
      Top = 6
      Width = 150
      Height = 21
      DefaultLanguage = 'English'
      LanguageFile = '%EXEPath%TWLang.LAN'
      OnTranslated = LangSwitch1Translated
    end
    object Ok: TButton
      Left = 300
      Top = 4
      Width = 75
      Height = 25
      Caption = 'Ok'
      Default = True
      ModalResult = 1
      OnClick = OkClick
    end
    object Cancel: TButton
      Left = 380
      Top = 4
      Width = 75
      Height = 25
      Caption = '&Cancel'
      Cancel = True
      ModalResult = 2
    end
  end
  object StatusZeile: TStatusBar
    Left = 0
    Top = 311
    Width = 460
    Height = 19
    Align = alBottom
    SimplePanel = True
  end
  object PageControl1: TPageControl
    Left = 0
    Top = 34
    Width = 460
    Height = 277
    Align = alClient
    TabOrder = 0
    object tabPers: TTabSheet
      PageControl = PageControl1
      Caption = 'Person'
      object rbPerson: TRadioGroup
        Left = 8
        Top = 8
        Width = 436
        Height = 64
        Caption = 'Which Person do you want to edit?'
        Columns = 3
        Items.Strings = (
          'Person 1'
          'Person 2'
          'Person 3'
          'Person 4')
        OnClick = rbPersonClick
      end
      object lblPers: TLabel
        Left = 8
        Top = 84
        Caption = 'Name'
      end
      object dfPers: TFkSimpleField
        Left = 110
        Top = 80
        Width = 300
        Height = 21
        MaxLength = 50
        OnChange = dfPersChange
        OnExit = dfPersExit
      end
      object lblPlace: TLabel
        Left = 8
        Top = 112
        Caption = 'Place of birth'
      end
      object dfPlace: TFkSimpleField
        Left = 110
        Top = 108
        Width = 300
        Height = 21
        MaxLength = 50
        OnChange = dfPlaceChange
      end
      object lblDate: TLabel
        Left = 8
        Top = 140
        Caption = 'Date of birth'
      end
      object dfDate: TFkPictureField
        Left = 110
        Top = 136
        Width = 100
        Height = 21
        DataType = pftDate
        PictureMask = 'dd/mm/yyyy'
        MaxLength = 10
        Epoch = 1910
        OnChange = dfDateChange
      end
      object ABtn: TFkAttachedButton
        Left = 210
        Top = 136
        Width = 17
        Height = 21
        AttachedControl = dfDate
        OnClick = ABtnClick
      end
      object lblTime: TLabel
        Left = 230
        Top = 140
        Caption = 'Time'
      end
      object dfTime: TFkPictureField
        Left = 280
        Top = 136
        Width = 90
        Height = 21
        DataType = pftTime
        PictureMask = 'Hh:mm'
        MaxLength = 5
        OnChange = dfTimeChange
      end
      object lblShort: TLabel
        Left = 8
        Top = 168
        Caption = 'Shortcut'
      end
      object dfShort: TFkSimpleField
        Left = 110
        Top = 164
        Width = 100
        Height = 21
        MaxLength = 10
        OnChange = dfShortChange
      end
      object lblZone: TLabel
        Left = 8
        Top = 196
        Caption = 'Time zone'
      end
      object cmbTimeZone: TComboBox
        Left = 110
        Top = 192
        Width = 300
        Height = 21
        Sorted = True
        OnChange = cmbTimeZoneChange
      end
    end
    object tabDisplay: TTabSheet
      PageControl = PageControl1
      Caption = 'Display'
      object pbHeaderFont: TButton
        Left = 8
        Top = 12
        Width = 140
        Height = 30
        Caption = 'Header Font'
        OnClick = pbHeaderFontClick
      end
      object pbTitleFont: TButton
        Left = 156
        Top = 12
        Width = 140
        Height = 30
        Caption = 'Title Font'
        OnClick = pbTitleFontClick
      end
      object pbTextFont: TButton
        Left = 304
        Top = 12
        Width = 140
        Height = 30
        Caption = 'Text Font'
        OnClick = pbTextFontClick
      end
      object lblRecalc: TLabel
        Left = 8
        Top = 60
        Caption = 'Recalculate Transits every '
      end
      object dfMinutes: TNumEdit
        Left = 180
        Top = 56
        Width = 50
        Height = 21
        NumericType = ntLongInt
        Decimals = 0
        Digits = 8
        Validate = False
        Masks.PositiveMask = ',##0'
      end
      object lblMinutes: TLabel
        Left = 240
        Top = 60
        Caption = 'Minutes'
      end
      object TrackBarRecalc: TTrackBar
        Left = 8
        Top = 84
        Width = 436
        Height = 40
        Max = 300
        Frequency = 10
        Position = 30
        OnChange = TrackBarRecalcChange
      end
    end
  end
  object dlgHeaderFont: TFontDialog
    Options = [fdEffects, fdForceFontExist]
  end
  object dlgTitleFont: TFontDialog
    Options = [fdEffects, fdForceFontExist]
  end
  object dlgTextFont: TFontDialog
    Options = [fdEffects, fdForceFontExist]
  end
  object FkController1: TFkController
  end
end
